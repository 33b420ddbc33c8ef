// Password scrambling: a repeating-key XOR written as lowercase hex digits.
#include "tallib.h"

#include <stdio.h>
#include <string.h>

namespace {

// '0', and anything that is not a hex digit, count as 0.
int HexValue(char c)
{
    if (c >= '1' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

} // namespace

size_t TALAPI SimpleEncrypt(const char *plain, size_t maxLen, const char *key, size_t keyLen, char *hexOut)
{
    if (!plain || !key || keyLen == 0 || !hexOut)
        return 0;
    size_t len = strnlen(plain, maxLen);
    if (len == 0)
        return 0;
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < len; ++i) {
        unsigned char x = (unsigned char)(plain[i] ^ key[i % keyLen]);
        hexOut[2 * i] = digits[x >> 4];
        hexOut[2 * i + 1] = digits[x & 15];
    }
    hexOut[2 * len] = '\0';
    return len;
}

size_t TALAPI SimpleDecrypt(const char *hex, size_t maxLen, const char *key, size_t keyLen, char *plainOut)
{
    if (!plainOut)
        return 0;
    plainOut[0] = '\0';
    if (!hex || !key || keyLen == 0)
        return 0;
    size_t len = strnlen(hex, maxLen);
    size_t k = 0;
    for (size_t i = 0; i + 1 < len; i += 2, ++k)
        plainOut[k] = (char)((16 * HexValue(hex[i]) + HexValue(hex[i + 1])) ^ key[k % keyLen]);
    plainOut[k] = '\0';
    return len;
}
