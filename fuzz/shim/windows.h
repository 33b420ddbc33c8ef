// The few Windows types the pure readers' headers name, for the native
// fuzzing build on Linux. None of the fuzzed code calls Windows.
#pragma once

#include <stddef.h>
#include <stdint.h>

#define __cdecl
#define CALLBACK

typedef unsigned short WORD;
typedef unsigned long DWORD;
typedef int BOOL;
typedef unsigned int UINT;
typedef intptr_t INT_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef struct HWND__ *HWND;
typedef struct HINSTANCE__ *HINSTANCE;

typedef struct _SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
} SYSTEMTIME;

// The C runtime's Windows spellings used by the readers.
#include <string.h>
#include <strings.h>
#define ZeroMemory(p, n) memset((p), 0, (n))
#define _strnicmp strncasecmp
