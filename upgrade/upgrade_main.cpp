// TalUpUp, the upgrade assistant: start-up, the main window and the message
// loop. It tells the user whether a newer release exists and, on request,
// downloads the installer and starts it silently over this installation.
#include "upgrade_window.h"
#include "placement.h"
#include "program.h"
#include "upgrade_ids.h"

#include "signals.h"
#include "tallib.h"

#include <commctrl.h>

#include <memory>
#include <new>

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

// The window and its controls (WM_CREATE), centred on the screen.
HWND CreateMainWindow(UpgradeWindow &state)
{
    int width = ScaleX(state, 420), height = ScaleY(state, 360);
    HWND window = CreateWindowExA(WS_EX_APPWINDOW | WS_EX_WINDOWEDGE, kUpgradeClass, kUpgradeCaption,
                                  WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CLIPCHILDREN |
                                      WS_CLIPSIBLINGS,
                                  0, 0, width, height, NULL, NULL, state.instance, &state);
    if (!window)
        return NULL;
    ScreenScale made = state.scale;
    MatchMonitorScale(window, made);
    CentreWindow(window, NULL);
    return window;
}

// The paths the assistant works with; each stays empty when it cannot be formed.
void ReadPaths(UpgradeWindow &state)
{
    GetFolder_EXEDir(state.programFolder, sizeof state.programFolder);
    GetFile_INIFile(state.configFile, sizeof state.configFile);
}

// Runs the assistant's window until it ends; the window is gone when this
// returns. False when a notification of a stopped download may still come
// for the state.
bool RunAssistant(UpgradeWindow &state, int show, int &code)
{
    LoadHeaderPictures(state.art, state.instance);
    HWND window = CreateMainWindow(state);
    if (!window)
        return true;
    state.session.reset(OpenHttpSession(true));
    if (!state.session)
        state.sessionError = GetLastError();
    ShowWindow(window, show);
    UpdateWindow(window);
    ReadPaths(state);
    RunVersionCheck(state);

    code = RunMessageLoop(window);
    bool released = CancelDownload(state.download);
    ReleaseInstaller(state);
    RemoveDownloadFolder(state.downloadFolder); // left for the next start while the installer runs
    if (IsWindow(window))
        DestroyWindow(window); // nothing of the window may reach the state after this
    state.session.reset();
    FreeHeaderPictures(state.art);
    return released;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show)
{
    if (TalUp_Find())
        return 0; // one assistant at a time
    RemoveLeftoverFolders();
    if (!RegisterWindowClass(instance)) {
        ShowStartFailure(kRegisterFailed, kUpgradeCaption);
        return 0;
    }
    ScopedCom com; // the header pictures are decoded through OLE
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    // The window's state lives as long as the window and as long as any
    // request of its download.
    std::unique_ptr<UpgradeWindow> state(new (std::nothrow) UpgradeWindow());
    if (!state)
        return 0;
    state->instance = instance;
    state->scale = ReadScreenScale();
    int code = 0;
    if (!RunAssistant(*state, show, code))
        state.release(); // WinHTTP still holds it; the process ends right after
    return code;
}
