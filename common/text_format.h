// FormatText: printf-style text into a caller's buffer, through the
// system's C runtime (_vsnprintf). The C99 printf that snprintf brings from
// the static runtime weighs about 13 KB in every module, and the product's
// formats need nothing it adds (64-bit numbers are "%I64u").
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>

// The text is always terminated. Returns its length, or -1 when it did
// not fit (the buffer then holds its beginning).
inline int FormatText(char *buffer, size_t size, const char *format, ...) __attribute__((format(ms_printf, 3, 4)));

inline int FormatText(char *buffer, size_t size, const char *format, ...)
{
    if (!buffer || size == 0)
        return -1;
    va_list arguments;
    va_start(arguments, format);
    int length = _vsnprintf(buffer, size, format, arguments);
    va_end(arguments);
    if (length < 0 || (size_t)length >= size) {
        buffer[size - 1] = '\0';
        return -1;
    }
    return length;
}
