// Reading a prepared configuration (prepared_config.h): pure, no Windows call.
#include "prepared_config.h"

#include "config_keys.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The [App] keys a prepared configuration carries to another machine.
const char *const kTakenKeys[] = {kKeyUserName, kKeyPassword, kKeyAuthed,      kKeyStartWithOS, kKeyRunAsService,
                                  kKeyLoadIcon, kKeySync,     kKeyNotify,      kKeyUpgrade,     kKeyUpdateLimit};
// The utility keeps host names to this length; larger tables are not its.
const size_t kLongestHostName = 127;
const long kMostHosts = 10000;

bool SameKey(const std::string &a, const char *b) { return _stricmp(a.c_str(), b) == 0; }

std::string Trim(const std::string &s)
{
    size_t begin = s.find_first_not_of(" \t"), end = s.find_last_not_of(" \t\r");
    return begin == std::string::npos ? "" : s.substr(begin, end - begin + 1);
}

struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
};

const std::string *Find(const Section *section, const char *key)
{
    if (section)
        for (const auto &pair : section->keys)
            if (SameKey(pair.first, key))
                return &pair.second;
    return nullptr;
}

// Sections and keys, or why the text is not an INI file.
std::string Split(const std::string &text, std::vector<Section> &sections)
{
    size_t at = 0;
    for (int line = 1; at <= text.size(); ++line) {
        size_t end = text.find('\n', at);
        std::string raw = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() + 1 : end + 1;
        std::string s = Trim(raw);
        if (s.empty() || s[0] == ';')
            continue;
        if (s.find('\0') != std::string::npos)
            return "line " + std::to_string(line) + " holds a zero byte: not a text file";
        if (s[0] == '[' && s.back() == ']' && s.size() > 2) {
            sections.push_back({Trim(s.substr(1, s.size() - 2)), {}});
        } else if (s.find('=') != std::string::npos && s[0] != '=') {
            if (sections.empty())
                return "line " + std::to_string(line) + " has a key before any section";
            size_t eq = s.find('=');
            sections.back().keys.push_back({Trim(s.substr(0, eq)), Trim(s.substr(eq + 1))});
        } else {
            return "line " + std::to_string(line) + " is neither a section nor a key";
        }
    }
    return "";
}

const Section *FindSection(const std::vector<Section> &sections, const char *name)
{
    for (const Section &section : sections)
        if (SameKey(section.name, name))
            return &section;
    return nullptr;
}

// The stored password is scrambled into two hexadecimal digits a character.
bool ScrambledLongEnough(const std::string &hex)
{
    if (hex.size() < 6 || hex.size() % 2 != 0)
        return false;
    for (char c : hex)
        if (!isxdigit((unsigned char)c))
            return false;
    return true;
}

bool PlainHostName(const std::string &name)
{
    if (name.empty() || name.size() > kLongestHostName)
        return false;
    for (char c : name)
        if (c == ',' || c == ' ' || (unsigned char)c < 0x20)
            return false;
    return true;
}

} // namespace

std::string ReadPreparedConfig(const std::string &text, PreparedConfig &config)
{
    config = PreparedConfig();
    std::vector<Section> sections;
    std::string error = Split(text, sections);
    if (!error.empty())
        return error;

    const Section *app = FindSection(sections, kSectionApp);
    const std::string *user = Find(app, kKeyUserName), *password = Find(app, kKeyPassword);
    if (!user || user->size() < 3 || !password || !ScrambledLongEnough(*password))
        return "it holds no usable account ([App] Username and Password as the configuration utility saves them)";
    for (const char *key : kTakenKeys)
        if (const std::string *value = Find(app, key))
            config.app.push_back({key, *value});

    const Section *hosts = FindSection(sections, kSectionHosts);
    const std::string *count = Find(hosts, kKeyHostCount);
    char *end = nullptr;
    long n = count ? strtol(count->c_str(), &end, 10) : 0;
    if (!count || count->empty() || *end || n < 1 || n > kMostHosts)
        return "it selects no host ([Hosts] Count of 1 or more)";
    for (long i = 1; i <= n; ++i) {
        std::string key = kKeyHostPrefix + std::to_string(i);
        const std::string *name = Find(hosts, key.c_str());
        if (!name || !PlainHostName(*name))
            return "[Hosts] " + key + " is missing or is not a host name";
        config.hosts.push_back(*name);
    }
    return "";
}
