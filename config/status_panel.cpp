// The status panel: the status rule, the label and picture of each status
// code, what a click on the status picture explains, and the updater's
// running indicator on the Home page.
#include "status_panel.h"

#include "config_ids.h"
#include "config_keys.h"
#include "home_page.h"
#include "program.h"

#include "error_text.h"
#include "tallib.h"

#include <string>

namespace {

// Left of the bottom band, which stands from x 194.
const int kPanelRepaintWidth = 194;

const char kCriticalQuestion[] =
    "You should only re-activate the Updater after you have fixed the cause of your Critical status.\n\n"
    "Have you fixed the issue?";
const char kInactive[] = "The Updater is currently inactive.  To keep your IP Address up to date with your host "
                         "records, you must first enable the Updater.";
const char kGoodExplained[] = "A Good (Green) status indicates that the Updater is operating as expected.";
const char kWarningExplained[] =
    "An Attention (Yellow) status indicates that the Updater has successfully submitted your IP Address, but the "
    "server was already up to date.\n\nView the Logs to see how many of these warnings you have received.  If you "
    "receive too many in one day, your account may be blocked due to abuse.  If you only received one, you can "
    "ignore the message.";
const char kWelcomeExplained[] =
    "Welcome!  Please enter your Talvex username and password.\n\nOnce entered successfully, you may check some "
    "hosts in the 'My Hosts' list.\n\nWhen you've selected all the hosts you want to update, click 'OK' or "
    "'Apply' to save the changes.\nThe Talvex Updater should begin updating as soon as you save your changes.";

// The label is transparent: hiding and showing it repaints the panel behind.
void RedrawLabel(const ConfigApp &app)
{
    HWND label = GetDlgItem(app.window, IDC_STATUS_LABEL);
    ShowWindow(label, SW_HIDE);
    ShowWindow(label, SW_SHOW);
}

// The window paints beneath its children: a repaint of the whole would
// cover the pages, which do not repaint what their group boxes enclose.
// Only the panel shows the status.
void RepaintPanel(const ConfigApp &app)
{
    RECT panel;
    GetClientRect(app.window, &panel);
    panel.right = ScaleX(app, kPanelRepaintWidth);
    InvalidateRect(app.window, &panel, FALSE);
    UpdateWindow(app.window);
}

void Inform(const ConfigApp &app, const char *text)
{
    MessageBoxA(app.window, text, kCaption, MB_OK | MB_ICONINFORMATION);
}

const char kStatusNotSaved[] = "The Updater could not be re-activated: its status could not be saved.";

// The person who fixed the cause of a critical status lifts the stop. The
// panel shows Good (decided while the file still says critical, so that a
// stopped updater does not read as disabled), then Good reaches the file:
// both updaters hold their timed passes while the stored status is
// critical, so an updater started with it would never run one. The
// updater then runs a pass (a stopped one its first).
void Reactivate(ConfigApp &app)
{
    ApplyStatus(app, kStatusGood);
    if (!SetStatus(kStatusGood)) {
        DWORD error = GetLastError();
        ApplyStatus(app, GetStatus());
        std::string text = std::string(kStatusNotSaved) + "\n\n" + DescribeError(error);
        MessageBoxA(app.window, text.c_str(), kCaption, MB_OK | MB_ICONERROR);
        return;
    }
    ReactivateUpdaterInBackground();
}

} // namespace

int DecideStatus(int requested, bool accountEmpty, int (*active)(), int (*stored)())
{
    if (accountEmpty)
        return kStatusUnconfigured;
    if (active() == 0 && stored() != kStatusCritical)
        return kStatusDisabled;
    return requested;
}

const char *StatusLabel(int code)
{
    switch (code) {
    case kStatusGood:
        return "Status: Good";
    case kStatusWarning:
        return "Status: Warning";
    case kStatusCritical:
        return "Status: Critical";
    case kStatusDisabled:
        return "Status: Disabled";
    default:
        return "Status: Welcome!";
    }
}

PictureIndex StatusPicture(int code)
{
    switch (code) {
    case kStatusWarning:
        return kPicWarning;
    case kStatusCritical:
        return kPicCritical;
    case kStatusUnconfigured:
        return kPicWelcome;
    case kStatusDisabled:
        return kPicDisabled;
    default:
        return kPicGood; // 0, and any number the file should not hold
    }
}

void SetStatusLabel(ConfigApp &app) { SetDlgItemTextA(app.window, IDC_STATUS_LABEL, StatusLabel(app.status)); }

void ApplyStatus(ConfigApp &app, int requested)
{
    bool accountEmpty = app.userName[0] == '\0' && app.password[0] == '\0';
    int code = DecideStatus(requested, accountEmpty, GetActive, GetStatus);
    if (code == app.status)
        return;
    bool known = code == kStatusGood || code == kStatusWarning || code == kStatusCritical || code == kStatusDisabled;
    app.status = known ? code : kStatusUnconfigured;
    SetStatusLabel(app);
    RepaintPanel(app);
    RedrawLabel(app);
}

void OnStatusClick(ConfigApp &app)
{
    if (app.status == kStatusCritical) {
        if (MessageBoxA(app.window, kCriticalQuestion, kCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
            Reactivate(app);
        return;
    }
    if (!GetActive()) {
        Inform(app, kInactive);
        return;
    }
    switch (app.status) {
    case kStatusGood:
        Inform(app, kGoodExplained);
        break;
    case kStatusWarning:
        Inform(app, kWarningExplained);
        break;
    case kStatusUnconfigured:
        Inform(app, kWelcomeExplained);
        break;
    }
}

void OnStatusChanged(ConfigApp &app)
{
    ApplyStatus(app, GetStatus());
    char lastUpdate[sizeof app.lastUpdate] = "";
    Profile_ReadText(app.configPath, kSectionApp, kKeyLastUpdate, "Never", lastUpdate,
                     sizeof lastUpdate);
    lstrcpynA(app.lastUpdate, lastUpdate, sizeof app.lastUpdate);
    ShowLastUpdate(app.pages[kPageHome], app.lastUpdate);
    SetStatusLabel(app);
    RedrawLabel(app);
}

void OnUpdaterActivity(ConfigApp &app, int running)
{
    // An unchanged "On" is left alone; "Off" is shown again each time.
    if (app.lastRunning == 1 && running == 1)
        return;
    app.lastRunning = running;
    ShowUpdaterRunning(app.pages[kPageHome], running == 1);
}
