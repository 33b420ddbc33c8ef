// Public address detection: GetIP, IsBehindProxy, IsValidIP and the check
// every program makes, GetPublicAddress.
#include "tallib.h"
#include "internal.h"
#include "config_keys.h"

#include "address_text.h"
#include "http_exchange.h"
#include "last_failure.h"
#include "no_throw.h"
#include "talvex_settings.h"

#include <string.h>

namespace {

const INTERNET_PORT kCheckPort = 80;
// Answered directly where a transparent proxy intercepts port 80.
const INTERNET_PORT kCheckAlternatePort = 8245;
// The page is about a hundred bytes; anything past this is not read.
const size_t kCheckMaxBody = 4096;

// Equal texts, ignoring case, reading neither buffer past its size.
bool SameAddressText(const char *a, int sizeA, const char *b, int sizeB)
{
    char left[kAddressMaxLen + 1] = "", right[kAddressMaxLen + 1] = "";
    size_t lenA = strnlen(a, (size_t)sizeA), lenB = strnlen(b, (size_t)sizeB);
    if (lenA > kAddressMaxLen || lenB > kAddressMaxLen)
        return false;
    memcpy(left, a, lenA);
    memcpy(right, b, lenB);
    return lstrcmpiA(left, right) == 0;
}

// What one reading of the check page came to: GetIP's result and, for
// GetLastFailure, why no address came ("" when one did).
struct AddressReading {
    int found = 0;
    std::string cause;
};

// GetIP's work; it may throw when an allocation fails.
AddressReading ReadPublicAddress(char *address, int size, int alternatePort)
{
    AddressReading reading;
    HttpGetRequest request;
    request.host = TALVEX_HOST_CHECKIP;
    request.port = alternatePort ? kCheckAlternatePort : kCheckPort;
    request.path = "/";
    request.maxBody = kCheckMaxBody;
    HttpGetResult reply = HttpGet(request);

    // The HTTP status is not examined: the page is judged by its body.
    std::string text;
    AddressPage page = ParseAddressPage(reply.body, text);
    if (reply.step != HttpOk)
        reading.cause = DescribeFailure(reply);
    else if (page == PageNoAddress)
        reading.cause = "the address-check page answered without an address";
    else if (page == PageEmptyAddress)
        reading.cause = "the address-check page answered with an empty address";
    if (page == PageNoAddress)
        return reading;
    // The text is at most 15 printable characters: it cannot break the file.
    ConfigWrite(kSectionApp, kKeyLastIP, text.c_str());
    if (page == PageEmptyAddress)
        return reading;
    // A cut address would be a different address: too small a buffer gets none.
    if (text.size() >= (size_t)size)
        return reading;
    memcpy(address, text.c_str(), text.size() + 1);
    reading.found = 1;
    return reading;
}

} // namespace

int TALAPI GetIP(char *address, int size, int alternatePort)
{
    if (!address || size <= 0)
        return 0; // no check made: the thread's last cause stays
    return NoThrow(0, [&] {
        AddressReading reading = ReadPublicAddress(address, size, alternatePort);
        RecordFailure(reading.cause);
        return reading.found;
    });
}

int TALAPI IsBehindProxy(char *addressDirect, int sizeDirect, char *addressAlternate, int sizeAlternate)
{
    int direct = GetIP(addressDirect, sizeDirect, 0);
    int alternate = GetIP(addressAlternate, sizeAlternate, 1);
    // Without an answer on the alternate port nothing shows a proxy, and
    // the buffer may still hold whatever the caller passed in it.
    if (!alternate)
        return 0;
    if (direct && SameAddressText(addressDirect, sizeDirect, addressAlternate, sizeAlternate))
        return 0;
    return IsValidIP(addressAlternate);
}

int TALAPI IsValidIP(const char *address) { return IsSendableAddress(address) ? 1 : 0; }

// The one address check of the suite, for the updaters and the utility
// alike. Only a probe in which both ports answered can tell whether a proxy
// stands in the way: with one port down now, the mode stays open and the
// next check probes again, rather than a port that fails today being the
// one used for good.
int TALAPI GetPublicAddress(char *address, int size)
{
    if (!address || size <= 0)
        return 0;
    char found[20] = "";
    int mode = GetProxy();
    if (mode == -1) {
        char direct[20] = "", alternate[20] = "";
        int behindProxy = IsBehindProxy(direct, sizeof direct, alternate, sizeof alternate);
        if (direct[0] && alternate[0])
            SetProxy(behindProxy ? 1 : 0);
        lstrcpynA(found, behindProxy ? alternate : direct, sizeof found);
    } else {
        GetIP(found, sizeof found, mode == 1 ? 1 : 0);
    }
    return NoThrow(0, [&] {
        std::string core = AddressCore(found);
        lstrcpynA(address, core.c_str(), size);
        return core.size() < (size_t)size && IsValidIP(address) ? 1 : 0;
    });
}
