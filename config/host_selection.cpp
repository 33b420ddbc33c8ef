// The saved selection, the check commands and the copied host names.
#include "host_selection.h"

#include <string.h>

namespace {

const char kStripped[] = " ,:;/\r\n";

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? (char)(c - 'A' + 'a') : c; }

bool SameIgnoringCase(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

std::string HostNameOf(const char *name, size_t length)
{
    if (!name)
        return std::string();
    if (length > kHostNameMax)
        length = kHostNameMax;
    const void *zero = memchr(name, '\0', length);
    return std::string(name, zero ? (size_t)((const char *)zero - name) : length);
}

std::vector<std::string> SelectionNames(const char *selection)
{
    std::vector<std::string> names;
    if (!selection)
        return names;
    const char *p = selection;
    for (;;) {
        const char *comma = strchr(p, ',');
        size_t length = comma ? (size_t)(comma - p) : strlen(p);
        std::string part(p, length < kSelectionPartMax ? length : kSelectionPartMax);
        size_t first = part.find_first_not_of(kStripped);
        if (first != std::string::npos) {
            size_t last = part.find_last_not_of(kStripped);
            names.push_back(part.substr(first, last - first + 1));
        }
        if (!comma)
            break;
        p = comma + 1;
    }
    return names;
}

bool SelectionHasHost(const char *selection, const std::string &host)
{
    if (host.empty())
        return false;
    for (const std::string &name : SelectionNames(selection))
        if (SameIgnoringCase(name, host))
            return true;
    return false;
}

int StateAfter(CheckCommand command, int state, bool selected)
{
    switch (command) {
    case kCheckAll:
        return kChecked;
    case kCheckNone:
        return kUnchecked;
    case kCheckInverse:
        return state == kUnchecked ? kChecked : kUnchecked;
    case kCheckSelected:
        return selected ? kChecked : state;
    case kUncheckSelected:
        return selected ? kUnchecked : state;
    }
    return state;
}

bool IsCheckChange(int oldState, int newState)
{
    return (oldState == kUnchecked && newState == kChecked) || (oldState == kChecked && newState == kUnchecked);
}

std::string CopiedHostNames(const std::vector<std::string> &names)
{
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
        if (i)
            text += "\r\n";
        text += names[i].substr(0, kSelectionPartMax);
    }
    return text;
}
