// The account's password in the configuration: scrambled on the way in and
// unscrambled on the way out, in one place for every program.
#include "tallib.h"
#include "internal.h"
#include "config_keys.h"
#include "no_throw.h"

#include <string.h>

#include <string>

namespace {

// The stored text fits the programs' 256-byte buffers: two hexadecimal
// digits a character, so at most 127 characters of a password are kept.
const int kScrambledSize = 256;

} // namespace

int TALAPI Account_GetPassword(char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    return NoThrow(0, [&] {
        char scrambled[kScrambledSize] = "";
        int n = ConfigReadText(kSectionApp, kKeyPassword, "", scrambled, sizeof scrambled);
        std::string plain((size_t)n / 2 + 1, '\0');
        SimpleDecrypt(scrambled, (size_t)n, kPasswordKey, kPasswordKeyLength, plain.data());
        lstrcpynA(buffer, plain.c_str(), size);
        return lstrlenA(buffer);
    });
}

int TALAPI Account_SetPassword(const char *password)
{
    if (!password)
        return 0;
    return NoThrow(0, [&] {
        size_t length = strnlen(password, kScrambledSize / 2 - 1);
        std::string scrambled(2 * length + 1, '\0');
        if (length > 0)
            SimpleEncrypt(password, length, kPasswordKey, kPasswordKeyLength, scrambled.data());
        return ConfigWrite(kSectionApp, kKeyPassword, scrambled.c_str());
    });
}
