// TalUpUp, the upgrade assistant: start-up, the main window and the message
// loop. It tells the user whether a newer release exists and, on request,
// downloads the installer and starts it silently over this installation.
#include "upgrade_app.h"
#include "placement.h"
#include "program.h"
#include "upgrade_ids.h"

#include "signals.h"
#include "tallib.h"
#include "talvex_settings.h"

#include <commctrl.h>

UpgradeApp g_app;

namespace {

const char kRegisterFailed[] =
    "Unable to register Window.  The Talvex Upgrade Assistant requires at least Windows NT to run.  Try closing "
    "some applications, and run the program again.";

bool RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = UpgradeWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
    wc.lpszClassName = kUpgradeClass;
    wc.hIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_UPGRADE), IMAGE_ICON, 32, 32, 0);
    wc.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_UPGRADE), IMAGE_ICON, 16, 16, 0);
    return RegisterClassExA(&wc) != 0;
}

HWND CreateMainWindow(HINSTANCE instance)
{
    int width = ScaleX(420), height = ScaleY(360);
    HWND window = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, kUpgradeClass, kUpgradeCaption,
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN |
                                      WS_CLIPSIBLINGS,
                                  0, 0, width, height, NULL, NULL, instance, NULL);
    if (!window)
        return NULL;
    CentreWindow(window, NULL);
    return window;
}

// The paths the assistant works with; each stays empty when it cannot be formed.
void ReadPaths()
{
    char data[MAX_PATH] = "";
    if (GetFolder_Data(data, sizeof data) == 0 && lstrlenA(data) + lstrlenA(kInstallerFileName) < MAX_PATH) {
        lstrcpyA(g_app.installerFile, data);
        lstrcatA(g_app.installerFile, kInstallerFileName);
    }
    GetFolder_EXEDir(g_app.programFolder, sizeof g_app.programFolder);
    GetFile_INIFile(g_app.configFile, sizeof g_app.configFile);
}


} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    if (TalUp_Find())
        return 0; // one assistant at a time
    g_app.instance = instance;
    if (!RegisterWindowClass(instance)) {
        MessageBoxA(NULL, kRegisterFailed, kUpgradeCaption, MB_OK | MB_ICONERROR);
        return 0;
    }
    ScopedCom com; // the header pictures are decoded through OLE
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    g_app.scale = ReadScreenScale();
    LoadHeaderPictures();

    g_app.window = CreateMainWindow(instance);
    if (!g_app.window)
        return 0;
    CreateControls(g_app.window);
    g_app.session = OpenHttpSession(true);
    if (!g_app.session)
        g_app.sessionError = GetLastError();
    ShowWindow(g_app.window, show);
    UpdateWindow(g_app.window);
    ReadPaths();
    RunVersionCheck();

    int code = RunMessageLoop(g_app.window);
    CancelDownload();
    if (g_app.session)
        WinHttpCloseHandle(g_app.session);
    FreeHeaderPictures();
    return code;
}
