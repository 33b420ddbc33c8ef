// Version texts: trimming and comparison. Newer is a strict order: never
// both ways, never a text newer than itself.
#include "version_text.h"
#include "fuzz_check.h"

#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string first, second;
    SplitInput(data, size, first, second);
    bool forward = VersionIsNewer(first.c_str(), second.c_str());
    bool backward = VersionIsNewer(second.c_str(), first.c_str());
    FUZZ_CHECK(!(forward && backward));
    FUZZ_CHECK(!VersionIsNewer(first.c_str(), first.c_str()));

    std::string trimmed = TrimVersionText(std::string((const char *)data, size));
    FUZZ_CHECK(trimmed.size() <= size);
    FUZZ_CHECK(TrimVersionText(trimmed) == trimmed);
    return 0;
}
