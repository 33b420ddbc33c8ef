// Version triples: splitting a version text into fields and comparing them.
#include "version_text.h"

#include <stdlib.h>

namespace {

const char kSeparators[] = " :.\r\n\t";
const char kTrimSet[] = " \t\r\n:;_=-`~";

struct VersionTriple {
    unsigned field[3] = {0, 0, 0};
    bool beta = false;
};

VersionTriple ReadTriple(const char *text)
{
    VersionTriple triple;
    std::string rest = text ? text : "";
    size_t at = rest.find_first_not_of(kSeparators);
    for (int n = 0; n < 3 && at != std::string::npos; ++n) {
        size_t end = rest.find_first_of(kSeparators, at);
        std::string field = rest.substr(at, end == std::string::npos ? std::string::npos : end - at);
        // atoi's reading: an optional sign, then leading digits, none gives
        // 0; a negative field wraps to a large unsigned number.
        triple.field[n] = (unsigned)strtol(field.c_str(), NULL, 10);
        if (n == 2)
            triple.beta = field.find('b') != std::string::npos;
        at = end == std::string::npos ? end : rest.find_first_not_of(kSeparators, end);
    }
    return triple;
}

} // namespace

bool VersionIsNewer(const char *first, const char *second)
{
    VersionTriple a = ReadTriple(first);
    VersionTriple b = ReadTriple(second);
    for (int n = 0; n < 3; ++n) {
        if (a.field[n] != b.field[n])
            return a.field[n] > b.field[n];
    }
    return b.beta && !a.beta;
}

std::string TrimVersionText(const std::string &text)
{
    size_t first = text.find_first_not_of(kTrimSet);
    if (first == std::string::npos)
        return std::string();
    size_t last = text.find_last_not_of(kTrimSet);
    return text.substr(first, last - first + 1);
}
