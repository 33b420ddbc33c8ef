// Small text helpers exported for the programs.
#include "tallib.h"

#include <string.h>

// Removes every character of chars from text in place and zero-fills the
// freed tail, so no stale byte of the old text stays behind.
int TALAPI RemoveChars(char *text, size_t maxLen, const char *chars)
{
    if (!text || !text[0])
        return 0;
    size_t len = strnlen(text, maxLen);
    size_t kept = 0;
    for (size_t i = 0; i < len; ++i) {
        if (!chars || !strchr(chars, text[i]))
            text[kept++] = text[i];
    }
    memset(text + kept, 0, len - kept);
    return (int)kept;
}
