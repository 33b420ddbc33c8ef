// Base64 of 7-bit text, standard alphabet with "=" padding.
#include "tallib.h"

#include <string.h>

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int DecodeChar(char c)
{
    if (c < '+' || c > 'z')
        return -1;
    const char *at = strchr(kAlphabet, c);
    return at ? (int)(at - kAlphabet) : -1;
}

} // namespace

int TALAPI b64buffer(const char *text, int encoding)
{
    size_t n = text ? strlen(text) : 0;
    if (n == 0)
        return 0;
    return encoding ? (int)((n + 2) / 3 * 4 + 1) : (int)(n / 4 * 3 + 1);
}

// Writes no terminator: the caller passes a zeroed buffer of
// b64buffer(text, 1) bytes.
void TALAPI b64encode(const char *text, char *out)
{
    if (!text || !out)
        return;
    size_t n = strlen(text);
    for (size_t i = 0; i < n; ++i)
        if ((unsigned char)text[i] >= 0x80)
            return;
    memset(out, '=', (n + 2) / 3 * 4);
    const unsigned char *in = (const unsigned char *)text;
    for (size_t i = 0, o = 0; i < n; i += 3, o += 4) {
        unsigned v = in[i] << 16;
        if (i + 1 < n)
            v |= in[i + 1] << 8;
        if (i + 2 < n)
            v |= in[i + 2];
        out[o] = kAlphabet[(v >> 18) & 63];
        out[o + 1] = kAlphabet[(v >> 12) & 63];
        if (i + 1 < n)
            out[o + 2] = kAlphabet[(v >> 6) & 63];
        if (i + 2 < n)
            out[o + 3] = kAlphabet[v & 63];
    }
}

// Decodes into out, which must hold b64buffer(text, 0) bytes, zeroed as
// for b64encode: a text without padding fills whole groups and writes no
// terminator. In a padded text the last character's unused low bits go
// into the byte after the text (zero for a canonical encoding).
int TALAPI b64decode(const char *text, char *out)
{
    if (!text || !out)
        return 0;
    size_t n = strlen(text);
    if (n % 4 != 0)
        return 0;
    size_t end = n;
    const char *pad = strchr(text, '=');
    if (pad) {
        end = (size_t)(pad - text);
        if (end + 3 < n)
            return 0;
        for (size_t i = end; i < n; ++i)
            if (text[i] != '=')
                return 0;
    }
    unsigned acc = 0;
    int bits = 0;
    size_t o = 0;
    for (size_t i = 0; i < end; ++i) {
        int v = DecodeChar(text[i]);
        if (v < 0)
            return 0;
        acc = ((acc << 6) | (unsigned)v) & 0xFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            unsigned char byte = (unsigned char)(acc >> bits);
            if (byte >= 0x80)
                return 0;
            out[o++] = (char)byte;
        }
    }
    if (bits > 0)
        out[o] = (char)(acc & ((1u << bits) - 1));
    return 1;
}
