// The address-check page reader and the dotted-quad tests.
#include "address_text.h"
#include "fuzz_check.h"

#include <stdint.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string body((const char *)data, size);
    std::string address = "unchanged";
    AddressPage page = ParseAddressPage(body, address);
    if (page == PageAddress) {
        FUZZ_CHECK(!address.empty() && address.size() <= kAddressMaxLen);
        for (char c : address)
            FUZZ_CHECK(c > 0x20 && c < 0x7f);
    }
    if (page == PageEmptyAddress)
        FUZZ_CHECK(address.empty());

    std::string text = body.substr(0, body.find('\0')); // as a zero-terminated buffer holds it
    int parts[4];
    if (ParseDottedQuad(text.c_str(), parts)) {
        FUZZ_CHECK(text.size() >= 7 && text.size() <= kAddressMaxLen);
        for (int part : parts)
            FUZZ_CHECK(part >= 0 && part <= 255);
    } else {
        FUZZ_CHECK(!IsSendableAddress(text.c_str()));
    }
    return 0;
}
