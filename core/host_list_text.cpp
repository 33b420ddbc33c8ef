// The host-list reply's reading: lines, their prefix and the names after it.
#include "host_list_text.h"

bool HostListRefused(const std::string &body) { return body.find("badauth") != std::string::npos; }

namespace {

// Names after the first ":" of one line (the whole line without one), split
// at ",". A line starting with ":" offers nothing; empty items and wildcard
// entries ("*") are not offered.
void AddLineHosts(const std::string &line, std::vector<std::string> &hosts)
{
    size_t colon = line.find(':');
    if (colon == 0)
        return;
    size_t at = colon == std::string::npos ? 0 : colon + 1;
    while (at <= line.size()) {
        size_t comma = line.find(',', at);
        if (comma == std::string::npos)
            comma = line.size();
        std::string item = line.substr(at, comma - at);
        if (!item.empty() && item.find('*') == std::string::npos)
            hosts.push_back(item);
        at = comma + 1;
    }
}

} // namespace

std::vector<std::string> OfferedHosts(const std::string &body)
{
    std::vector<std::string> hosts;
    size_t start = 0;
    for (size_t end = body.find('\n'); end != std::string::npos; end = body.find('\n', start)) {
        std::string line = body.substr(start, end - start);
        // A reply with CR LF line ends would otherwise hand each line's last
        // name on with a "\r", to be stored and sent in updates with it.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        AddLineHosts(line, hosts);
        start = end + 1;
    }
    return hosts;
}
