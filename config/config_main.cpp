// TalUpConfig, the configuration utility: start-up in its fixed order, the
// message loop, and the end. One main window holds the status panel and
// the four pages; other programs find it by class and title.
#include "main_window.h"

#include "config_ids.h"
#include "config_messages.h"
#include "config_pipe.h"
#include "account_dialog.h"
#include "home_page.h"
#include "placement.h"
#include "program.h"
#include "settings.h"
#include "status_panel.h"

#include "config_keys.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"
#include "text_format.h"

#include <stdio.h>
#include <string.h>

namespace {

void LoadPictures(ConfigApp &app)
{
    for (int i = 0; i < kPictureCount; ++i)
        LoadImageResource(app.pictures[i], app.instance, IDP_LOGO + i);
}

bool RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    // The sizes the screen asks for: the icon holds images from 16 to 64 pixels.
    wc.hIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_CONFIG), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                 GetSystemMetrics(SM_CYICON), 0);
    wc.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_CONFIG), IMAGE_ICON,
                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kConfigClass;
    return RegisterClassExA(&wc) != 0;
}

// Brings the first copy's window forward; false when there is none.
bool ActivateFirstCopy()
{
    HWND first = FindWindowA(kConfigClass, kConfigTitle);
    if (!first)
        return false;
    if (IsIconic(first))
        ShowWindow(first, SW_RESTORE);
    SetForegroundWindow(first);
    return true;
}

// True when another copy runs: its window (once it has one) is brought to
// the front. Two copies started at the same moment cannot both go on.
bool AnotherCopyRuns(HANDLE &instanceLock)
{
    if (ActivateFirstCopy())
        return true;
    instanceLock = CreateMutexA(NULL, FALSE, kConfigInstanceMutex);
    if (instanceLock && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    // The first copy is still starting: give its window a moment to appear.
    for (int tenths = 0; tenths < 50 && !ActivateFirstCopy(); ++tenths)
        Sleep(100);
    return true;
}

void ReadPaths(ConfigApp &app)
{
    char folder[MAX_PATH] = "";
    if (GetFolder_Data(folder, sizeof folder) != 0)
        return;
    FormatText(app.configPath, sizeof app.configPath, "%s%s", folder, kConfigFileName);
    FormatText(app.logPath, sizeof app.logPath, "%s%s", folder, kLogFileName);
}

HWND CreateMainWindow(ConfigApp &app, int show)
{
    int width = ScaleX(app, kMainWidth), height = ScaleY(app, kMainHeight);
    HWND window = CreateWindowExA(0, kConfigClass, kConfigTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                  width, height, NULL, NULL, app.instance, &app);
    if (!window)
        return NULL;
    MatchMonitorScale(window, app.scale);
    CentreWindow(window, NULL);
    ShowWindow(window, show);
    UpdateWindow(window);
    return window;
}

// No account yet: the panel says welcome, the updater hears it, and the
// account dialog asks for one.
void AskForAccount(ConfigApp &app)
{
    ApplyStatus(app, kStatusUnconfigured);
    TellServerInBackground(app, (int)kCmdStatusUnconfigured);
    if (RunAccountDialog(app.window, app))
        ShowUserName(app.pages[kPageHome], app.userName);
}

// Without the pipe listener (the log says why) nobody polls the updater:
// the Home page shows its state as it is now rather than "Detecting..."
// for good.
void ListenToThePipe(const ConfigApp &app)
{
    if (!StartConfigPipeListener(app.window))
        SendMessageA(app.window, kMsgUpdaterActivity, GetActive() == 1 ? 1 : 0, 0);
}

void FillHomeFields(const ConfigApp &app)
{
    ShowUserName(app.pages[kPageHome], app.userName);
    ShowLastUpdate(app.pages[kPageHome], app.lastUpdate);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    // The pages start the shell and the save dialog: they want COM on this thread.
    ScopedCom com;
    ConfigApp app; // the main window's state, for as long as the program runs
    app.instance = instance;
    app.scale = ReadScreenScale();
    LoadPictures(app);
    if (!RegisterMainClass(instance)) {
        ShowStartFailure(kRegisterFailed, kCaption);
        return 0;
    }
    HANDLE instanceLock = NULL; // never released; it ends with the process
    if (AnotherCopyRuns(instanceLock))
        return 0;
    ReadPaths(app);
    LoadSettings(app);
    if (!CreateMainWindow(app, show))
        return 0;

    if (strlen(app.userName) < 3)
        AskForAccount(app);
    ListenToThePipe(app);
    RefreshHomePage(app.pages[kPageHome], app.sync == 1);
    FillHomeFields(app);
    if (app.upgrade == 1)
        CheckVersion();
    TrimWorkingSet();

    int code = RunMessageLoop(app.window);
    // The code sent by OK reaches the updater before the process ends.
    if (app.tellThread)
        WaitForSingleObject(app.tellThread.get(), 5000);
    UnregisterClassA(kConfigClass, instance);
    for (Image &image : app.pictures)
        FreeImage(image);
    return code;
}
