// The utility's settings: loaded from the configuration file at start-up
// and on request, saved by OK and Apply, always in the same order and
// always through TalLib, which serializes writers across processes.
#include "settings.h"

#include "config_ids.h"
#include "config_keys.h"
#include "host_rows.h"
#include "host_selection.h"

#include "tallib.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include <string>

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
        char *buffer = (char *)calloc(size, 1);
        if (!buffer)
            return;
        if (Host_GetDelString(buffer, (int)size)) {
            free(app.selectedHosts);
            app.selectedHosts = buffer;
            return;
        }
        free(buffer);
    }
}

void SetSelection(ConfigApp &app, const std::string &text)
{
    char *copy = (char *)malloc(text.size() + 1);
    if (!copy)
        return;
    memcpy(copy, text.c_str(), text.size() + 1);
    free(app.selectedHosts);
    app.selectedHosts = copy;
}

// Rows of the Home page's host list whose check box is not unchecked
// become the host table, in row order. Without the list (its page failed)
// the table is left as it is rather than emptied.
void SaveSelection(ConfigApp &app)
{
    HWND list = GetDlgItem(app.pages[kPageHome], IDC_HOST_LIST);
    if (!list)
        return;
    Host_Clean();
    std::string joined;
    int n = 0;
    for (const HostRow &row : ReadHostRows(list)) {
        if (row.check == kUnchecked || row.name.empty())
            continue;
        Host_SetText(++n, row.name.c_str());
        joined += row.name;
        joined += ',';
    }
    if (!joined.empty())
        joined.pop_back();
    SetSelection(app, joined);
    Host_SetCount(n);
}

struct Option {
    const char *key;
    int id;
    int ConfigApp::*value;
};
const Option kOptions[] = {
    {kKeyLoadIcon, IDC_OPT_LOAD_ICON, &ConfigApp::loadIcon},
    {kKeyStartWithOS, IDC_OPT_START_WITH_OS, &ConfigApp::startWithOS},
    {kKeySync, IDC_OPT_SYNC, &ConfigApp::sync},
    {kKeyNotify, IDC_OPT_NOTIFY, &ConfigApp::notify},
    {kKeyUpgrade, IDC_OPT_UPGRADE, &ConfigApp::upgrade},
};

// A box counts as on only when checked. A box that is missing (its page
// failed) keeps the option as it is.
int BoxValue(const ConfigApp &app, const Option &option)
{
    HWND page = app.pages[kPageAdvanced];
    if (!GetDlgItem(page, option.id))
        return app.*option.value;
    return IsDlgButtonChecked(page, option.id) == BST_CHECKED ? 1 : 0;
}

void SaveOptions(ConfigApp &app)
{
    int boxes[5];
    for (int i = 0; i < 5; ++i)
        boxes[i] = BoxValue(app, kOptions[i]);
    if (boxes[0] != app.loadIcon)
        boxes[0] ? CreateTrayIconShortcut() : KillTrayIconShortcut();
    if (boxes[1] != app.startWithOS)
        boxes[1] ? CreateStartupShortcut() : KillStartupShortcut();
    for (int i = 0; i < 5; ++i)
        app.*kOptions[i].value = boxes[i];
    for (const Option &option : kOptions)
        WriteText(app, option.key, app.*option.value ? "1" : "0");
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

// Everything a save writes reaches the file in one commit.
DWORD SaveSettings(ConfigApp &app)
{
    Profile_BeginBatch(app.configPath);
    WriteText(app, kKeyUserName, app.userName);
    Account_SetPassword(app.password);
    SaveSelection(app);
    SaveOptions(app);
    if (Profile_EndBatch())
        return ERROR_SUCCESS;
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT;
}
