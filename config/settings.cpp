// The utility's settings: loaded from the configuration file at start-up
// and on request, saved by OK and Apply, always in the same order and
// always through TalLib, which serializes writers across processes.
#include "settings.h"

#include "config_keys.h"

#include "tallib.h"

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

// The host table as "a,b,c", in a buffer as large as it needs; the old
// text stays when it cannot be read whole.
void ReadSelection(ConfigApp &app)
{
    size_t size = 1024;
    size_t needed = (size_t)Host_GetCount() * (kMaxHostName + 2) + 1;
    if (needed > size && needed <= kMaxSelection)
        size = needed;
    for (; size <= kMaxSelection; size *= 2) {
        std::vector<char> buffer(size);
        if (Host_GetDelString(buffer.data(), (int)size)) {
            app.selectedHosts = buffer.data();
            return;
        }
    }
}

// The chosen hosts become the host table, in their order.
void SaveSelection(ConfigApp &app, const std::vector<std::string> &hosts)
{
    Host_Clean();
    std::string joined;
    int n = 0;
    for (const std::string &host : hosts) {
        Host_SetText(++n, host.c_str());
        joined += host;
        joined += ',';
    }
    if (!joined.empty())
        joined.pop_back();
    app.selectedHosts = joined;
    Host_SetCount(n);
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

// Everything a save writes reaches the file in one commit. A save that
// fails keeps nothing: the window stays open with the choices and the user
// decides again, so nothing is written later that was reported unsaved.
DWORD SaveSettings(ConfigApp &app, const PageChoices &choices)
{
    Profile_BeginBatch(app.configPath);
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
