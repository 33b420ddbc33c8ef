// Built into the storage code of the rules test only: a write the test can
// make fail, as a disk that fills or a device that goes away does.
#pragma once

#include <windows.h>

// How many more times the write that marks a journal idle fails.
extern int g_idleWriteFailures;

BOOL WriteOrFail(HANDLE file, LPCVOID data, DWORD size, LPDWORD written, LPOVERLAPPED overlapped);
#define WriteFile WriteOrFail
