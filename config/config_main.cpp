// TalUpConfig, the configuration utility: start-up in its fixed order, the
// message loop, and the end. One main window holds the status panel and
// the four pages; other programs find it by class and title.
#include "config_app.h"
#include "placement.h"
#include "program.h"
#include "config_ids.h"
#include "frame.h"

#include "config_keys.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

ConfigApp g_app;
FrameState g_frame;

namespace {

void LoadPictures()
{
    for (int i = 0; i < kPictureCount; ++i)
        LoadImageResource(g_app.pictures[i], g_app.instance, IDP_LOGO + i);
}

bool RegisterMainClass()
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = g_app.instance;
    // The sizes the screen asks for: the icon holds images from 16 to 64 pixels.
    wc.hIcon = (HICON)LoadImageA(g_app.instance, MAKEINTRESOURCEA(IDI_CONFIG), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                 GetSystemMetrics(SM_CYICON), 0);
    wc.hIconSm = (HICON)LoadImageA(g_app.instance, MAKEINTRESOURCEA(IDI_CONFIG), IMAGE_ICON,
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

void ReadPaths()
{
    char folder[MAX_PATH] = "";
    if (GetFolder_Data(folder, sizeof folder) != 0)
        return;
    snprintf(g_app.configPath, sizeof g_app.configPath, "%s%s", folder, kConfigFileName);
    snprintf(g_app.logPath, sizeof g_app.logPath, "%s%s", folder, kLogFileName);
}

HWND CreateMainWindow(int show)
{
    int width = ScaleX(704), height = ScaleY(480);
    HWND window = CreateWindowExA(0, kConfigClass, kConfigTitle, WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0,
                                  width, height, NULL, NULL, g_app.instance, NULL);
    if (!window)
        return NULL;
    CentreWindow(window, NULL);
    ShowWindow(window, show);
    UpdateWindow(window);
    return window;
}

// No account yet: the panel says welcome, the updater hears it, and the
// account dialog asks for one.
void AskForAccount()
{
    ApplyStatus(kStatusUnconfigured);
    TellServerInBackground((int)kCmdStatusUnconfigured);
    if (RunAccountDialog(g_app.window))
        SetDlgItemTextA(g_app.pages[kPageHome], IDC_HOME_USER, g_app.userName);
}

void FillHomeFields()
{
    SetDlgItemTextA(g_app.pages[kPageHome], IDC_HOME_USER, g_app.userName);
    SetDlgItemTextA(g_app.pages[kPageHome], IDC_HOME_LAST_UPDATE, g_app.lastUpdate);
}


} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    // The pages start the shell and the save dialog: they want COM on this thread.
    ScopedCom com;
    g_app.instance = instance;
    g_app.scale = ReadScreenScale();
    LoadPictures();
    if (!RegisterMainClass()) {
        MessageBoxA(NULL, kRegisterFailed, kCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    HANDLE instanceLock = NULL; // never released; it ends with the process
    if (AnotherCopyRuns(instanceLock))
        return 0;
    ReadPaths();
    LoadSettings();
    if (!CreateMainWindow(show))
        return 0;

    if (strlen(g_app.userName) < 3)
        AskForAccount();
    StartConfigPipeListener();
    if (g_app.sync == 1)
        StartHostListRefresh();
    StartAddressRefresh();
    FillHomeFields();
    if (g_app.upgrade == 1)
        CheckVersion();
    TrimWorkingSet();

    int code = RunMessageLoop(g_app.window);
    // The code sent by OK reaches the updater before the process ends.
    if (g_frame.tellThread) {
        WaitForSingleObject(g_frame.tellThread, 5000);
        CloseHandle(g_frame.tellThread);
    }
    UnregisterClassA(kConfigClass, instance);
    for (Image &image : g_app.pictures)
        FreeImage(image);
    free(g_app.selectedHosts);
    return code;
}
