// Pure parsing of address texts: the address-check page and dotted quads.
#include "address_text.h"

namespace {

const char kMarker[] = "Current IP Address: ";
const char kEnd[] = "</body>";

bool IsAsciiSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

// Printable ASCII without the space: what a dotted address is made of, and
// nothing that could break a line of the configuration file.
bool IsAddressChar(char c) { return c > 0x20 && c < 0x7f; }

} // namespace

AddressPage ParseAddressPage(const std::string &body, std::string &address)
{
    if (body.size() <= 3)
        return PageNoAddress;
    size_t marker = body.find(kMarker);
    if (marker == std::string::npos)
        return PageNoAddress;
    size_t start = marker + sizeof kMarker - 1;
    size_t end = body.find(kEnd, start);
    if (end == std::string::npos)
        return PageNoAddress;
    while (start < end && IsAsciiSpace(body[start]))
        ++start;
    while (end > start && IsAsciiSpace(body[end - 1]))
        --end;
    if (start == end) {
        address.clear();
        return PageEmptyAddress;
    }
    // A longer text is not an address, and its first 15 characters could
    // read as a different, valid one ("111.222.111.2229").
    if (end - start > kAddressMaxLen)
        return PageNoAddress;
    for (size_t i = start; i < end; ++i) {
        if (!IsAddressChar(body[i]))
            return PageNoAddress;
    }
    address.assign(body, start, end - start);
    return PageAddress;
}

bool ParseDottedQuad(const char *text, int parts[4])
{
    if (!text)
        return false;
    const char *p = text;
    for (int i = 0; i < 4; ++i) {
        if (i > 0 && *p++ != '.')
            return false;
        int value = 0, digits = 0;
        for (; *p >= '0' && *p <= '9'; ++p, ++digits) {
            if (digits == 3)
                return false;
            value = value * 10 + (*p - '0');
        }
        // "010" reads as 8 to some parsers and as 10 to others: refused.
        if (digits == 0 || value > 255 || (digits > 1 && p[-digits] == '0'))
            return false;
        parts[i] = value;
    }
    return *p == '\0';
}

bool IsSendableAddress(const char *text)
{
    int p[4];
    if (!ParseDottedQuad(text, p))
        return false;
    if (p[0] == 192 && p[1] == 168)
        return false;
    if (p[0] == 169 && p[1] == 254)
        return false;
    if (p[0] == 172 && p[1] >= 16 && p[1] <= 31)
        return false;
    if (p[0] == 127 && p[1] == 0 && p[2] == 0 && p[3] == 1)
        return false;
    if (p[0] == 10)
        return false;
    return true;
}

std::string AddressCore(const std::string &text)
{
    auto core = [](char c) { return (c >= '0' && c <= '9') || c == '.'; };
    size_t start = 0, end = text.size();
    while (start < end && !core(text[start]))
        ++start;
    while (end > start && !core(text[end - 1]))
        --end;
    return text.substr(start, end - start);
}
