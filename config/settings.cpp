// The utility's settings: loaded from the configuration file at start-up
// and on request, saved by OK and Apply, always in the same order and
// always through TalLib, which serializes writers across processes.
#include "settings.h"

#include "config_keys.h"

#include "tallib.h"

#include <string.h>

#include <string>
#include <vector>

namespace {

const int kMaxHostName = 127;
// A host table larger than this is not one the utility wrote.
const size_t kMaxSelection = 1u << 20;

void ReadText(const ConfigApp &app, const char *key, const char *fallback, char *buffer, int size)
{
    Profile_ReadText(app.configPath, kSectionApp, key, fallback, buffer, size);
}

int ReadInt(const ConfigApp &app, const char *key, int fallback)
{
    return Profile_ReadInt(app.configPath, kSectionApp, key, fallback);
}

void WriteText(const ConfigApp &app, const char *key, const char *value)
{
    Profile_WriteText(app.configPath, kSectionApp, key, value);
}

// The host table as "a,b,c", in a buffer as large as it needs; false when
// it cannot be read whole.
bool ReadStoredSelection(std::string &joined)
{
    size_t size = 1024;
    size_t needed = (size_t)Host_GetCount() * (kMaxHostName + 2) + 1;
    if (needed > size && needed <= kMaxSelection)
        size = needed;
    for (; size <= kMaxSelection; size *= 2) {
        std::vector<char> buffer(size);
        if (Host_GetDelString(buffer.data(), (int)size)) {
            joined = buffer.data();
            return true;
        }
    }
    return false;
}

// The old text stays when the table cannot be read whole.
void ReadSelection(ConfigApp &app)
{
    std::string joined;
    if (ReadStoredSelection(joined))
        app.selectedHosts = joined;
}

std::string JoinHosts(const std::vector<std::string> &hosts)
{
    std::string joined;
    for (const std::string &host : hosts)
        joined += (joined.empty() ? "" : ",") + host;
    return joined;
}

// The chosen hosts become the host table, in their order.
void SaveSelection(ConfigApp &app, const std::vector<std::string> &hosts)
{
    Host_Clean();
    int n = 0;
    for (const std::string &host : hosts)
        Host_SetText(++n, host.c_str());
    app.selectedHosts = JoinHosts(hosts);
    Host_SetCount(n);
}

// True when the save writes another account or host list than the file
// holds.
bool ChangesAccountOrHosts(const ConfigApp &app, const PageChoices &choices)
{
    char userName[sizeof app.userName] = "", password[sizeof app.password] = "";
    ReadText(app, kKeyUserName, "", userName, sizeof userName);
    Account_GetPassword(password, sizeof password);
    if (strcmp(userName, app.userName) != 0 || strcmp(password, app.password) != 0)
        return true;
    std::string stored;
    return choices.hosts && ReadStoredSelection(stored) && stored != JoinHosts(*choices.hosts);
}

struct Option {
    const char *key;
    int ConfigOptions::*value;
};
const Option kOptions[] = {
    {kKeyLoadIcon, &ConfigOptions::loadIcon},
    {kKeyStartWithOS, &ConfigOptions::startWithOS},
    {kKeySync, &ConfigOptions::sync},
    {kKeyNotify, &ConfigOptions::notify},
    {kKeyUpgrade, &ConfigOptions::upgrade},
};

// The icon's and the start-up shortcut follow their options when these
// change; every option is written.
void SaveOptions(ConfigApp &app, const ConfigOptions &chosen)
{
    if (chosen.loadIcon != app.loadIcon)
        chosen.loadIcon ? CreateTrayIconShortcut() : KillTrayIconShortcut();
    if (chosen.startWithOS != app.startWithOS)
        chosen.startWithOS ? CreateStartupShortcut() : KillStartupShortcut();
    for (const Option &option : kOptions) {
        app.*option.value = chosen.*option.value;
        WriteText(app, option.key, app.*option.value ? "1" : "0");
    }
}

} // namespace

void LoadSettings(ConfigApp &app)
{
    ReadText(app, kKeyLastUpdate, "Never", app.lastUpdate, sizeof app.lastUpdate);
    ReadText(app, kKeyUserName, "", app.userName, sizeof app.userName);
    Account_GetPassword(app.password, sizeof app.password);
    ReadSelection(app);
    app.loadIcon = ReadInt(app, kKeyLoadIcon, 0);
    app.startWithOS = ReadInt(app, kKeyStartWithOS, 1);
    app.sync = ReadInt(app, kKeySync, 1);
    app.notify = ReadInt(app, kKeyNotify, 1);
    app.upgrade = ReadInt(app, kKeyUpgrade, 1);
    app.status = ReadInt(app, kKeyStatus, kStatusUnconfigured);
}

// Everything a save writes reaches the file in one commit. A critical
// status holds the updaters' timed passes until its cause is fixed; a save
// that changes the account or the host list is such a fix, so it lifts the
// stop in the same commit. With nothing changed the stop holds: a refused
// account is never sent again on its own. A save that fails keeps nothing:
// the window stays open with the choices and the user decides again, so
// nothing is written later that was reported unsaved.
DWORD SaveSettings(ConfigApp &app, const PageChoices &choices)
{
    bool lift = ReadInt(app, kKeyStatus, kStatusGood) == kStatusCritical && ChangesAccountOrHosts(app, choices);
    Profile_BeginBatch(app.configPath);
    if (lift)
        WriteText(app, kKeyStatus, "0");
    WriteText(app, kKeyUserName, app.userName);
    Account_SetPassword(app.password);
    if (choices.hosts)
        SaveSelection(app, *choices.hosts);
    // The options as they are, written again, when the page has none.
    SaveOptions(app, choices.options ? *choices.options : (const ConfigOptions &)app);
    if (Profile_EndBatchOrDrop())
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}
