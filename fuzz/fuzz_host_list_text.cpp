// The host-list reply reader.
#include "host_list_text.h"
#include "fuzz_check.h"

#include <stdint.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string body((const char *)data, size);
    HostListRefused(body);
    for (const std::string &host : OfferedHosts(body)) {
        FUZZ_CHECK(!host.empty());
        FUZZ_CHECK(host.find_first_of(",\n*") == std::string::npos);
    }
    return 0;
}
