// The rules of the publisher check that need no Windows call (see
// signature_rules.h).
#include "signature_rules.h"

#include <string.h>

bool SignatureSound(long trustResult)
{
    switch ((unsigned long)trustResult) {
    case 0x00000000: // ERROR_SUCCESS
    case 0x800B0109: // CERT_E_UNTRUSTEDROOT
    case 0x800B010A: // CERT_E_CHAINING: no root found at all
    case 0x800B010D: // CERT_E_UNTRUSTEDTESTROOT
        return true;
    default:
        return false;
    }
}

bool RevocationUnanswered(long trustResult)
{
    switch ((unsigned long)trustResult) {
    case 0x80092012: // CRYPT_E_NO_REVOCATION_CHECK: no revocation server named
    case 0x80092013: // CRYPT_E_REVOCATION_OFFLINE: the server could not be reached
    case 0x800B010E: // CERT_E_REVOCATION_FAILURE
        return true;
    default: // CRYPT_E_REVOKED (0x80092010) among them
        return false;
    }
}

bool KeyIsPinned(const unsigned char *keyHash, const char *pinnedKeys)
{
    static const char kDigits[] = "0123456789abcdef";
    char hex[65];
    for (int i = 0; i < 32; ++i) {
        hex[2 * i] = kDigits[keyHash[i] >> 4];
        hex[2 * i + 1] = kDigits[keyHash[i] & 15];
    }
    hex[64] = '\0';
    for (const char *p = pinnedKeys; p && *p;) {
        while (*p == ' ')
            ++p;
        size_t length = strcspn(p, " ");
        if (length == 64 && strncasecmp(p, hex, 64) == 0)
            return true;
        p += length;
    }
    return false;
}
