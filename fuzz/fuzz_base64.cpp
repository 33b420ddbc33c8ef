// Base64: decoding any text stays inside its buffer, and 7-bit text comes
// back from its own encoding unchanged.
#include "tallib.h"
#include "fuzz_check.h"

#include <stdint.h>
#include <string.h>

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string text((const char *)data, size);
    text = text.substr(0, text.find('\0'));

    // Buffers exactly as large as b64buffer says, so the sanitizer sees any overrun.
    std::vector<char> decoded((size_t)b64buffer(text.c_str(), 0));
    if (!decoded.empty())
        b64decode(text.c_str(), decoded.data());

    bool sevenBit = true;
    for (char c : text)
        sevenBit = sevenBit && (unsigned char)c < 0x80;
    int encodedSize = b64buffer(text.c_str(), 1);
    if (!sevenBit || encodedSize == 0)
        return 0;
    std::vector<char> encoded((size_t)encodedSize, '\0');
    b64encode(text.c_str(), encoded.data());
    FUZZ_CHECK(strlen(encoded.data()) == (size_t)encodedSize - 1);
    std::vector<char> back((size_t)b64buffer(encoded.data(), 0), '\0');
    FUZZ_CHECK(b64decode(encoded.data(), back.data()) == 1);
    FUZZ_CHECK(memcmp(back.data(), text.data(), text.size()) == 0);
    return 0;
}
