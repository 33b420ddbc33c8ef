// Password scrambling: unscramble(scramble(x)) == x for any password and
// key, and unscrambling any text stays inside its buffer.
#include "tallib.h"
#include "fuzz_check.h"

#include <stdint.h>
#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string plain, key;
    SplitInput(data, size, plain, key);
    if (key.empty())
        key = "k";

    std::vector<char> hex(2 * plain.size() + 1, '\0');
    size_t scrambled = SimpleEncrypt(plain.c_str(), plain.size(), key.data(), key.size(), hex.data());
    FUZZ_CHECK(scrambled == plain.size());
    if (scrambled > 0) {
        std::vector<char> back(plain.size() + 1, 'x');
        SimpleDecrypt(hex.data(), hex.size(), key.data(), key.size(), back.data());
        FUZZ_CHECK(memcmp(back.data(), plain.data(), plain.size()) == 0 && back[plain.size()] == '\0');
    }

    // Any text read back from the configuration file: the plain buffer holds
    // half its length and a terminator.
    std::string stored = std::string((const char *)data, size);
    stored = stored.substr(0, stored.find('\0'));
    std::vector<char> out(stored.size() / 2 + 1);
    SimpleDecrypt(stored.c_str(), stored.size(), key.data(), key.size(), out.data());
    return 0;
}
