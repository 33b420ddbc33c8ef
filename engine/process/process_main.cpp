// TalUpPs: the updater as a hidden process of the logged-on user. A
// message-only window gives it a message loop; its timer drives the update
// cycle and its WM_USER messages carry the other programs' commands.
#include "signals.h"
#include "tallib.h"
#include "update_cycle.h"

namespace {

const char kCaption[] = "Talvex Updater";
const UINT_PTR kTimerId = 0;

struct ProcessUpdater {
    EngineState engine;
    bool stopLogged = false;
};

ProcessUpdater g_updater;

void OnCreate(HWND window)
{
    BuildEnginePaths(g_updater.engine);
    TrimWorkingSet();
    LoadEngineSettings(g_updater.engine);
    TrimWorkingSet();
    g_updater.engine.intervalMinutes = kShortestIntervalMinutes;
    if (g_updater.engine.loadIcon && !TrayIcon_Find())
        Execute_TrayIcon(NULL);
    // The first tick runs now, before the window is even shown.
    SendMessageA(window, WM_TIMER, 0, 0);
}

// WM_CLOSE is followed by WM_DESTROY: the stop is logged once.
void OnStop()
{
    if (!g_updater.stopLogged) {
        g_updater.stopLogged = true;
        LogAndSignal("Updater: Process stopped.", 1, 0);
    }
    PostQuitMessage(0);
}

void RunPass(bool force)
{
    RunUpdateCycle(g_updater.engine, force);
    TrimWorkingSet();
}

void ReloadSettings()
{
    LoadEngineSettings(g_updater.engine);
    TrimWorkingSet();
}

void OnTimer(HWND window)
{
    if (IsRunningService()) { // the service is the updater now
        PostQuitMessage(0);
        return;
    }
    const EngineState &engine = g_updater.engine;
    if (engine.status == 0 || (engine.status == 1 && GetActive() && GetAuthed()))
        RunPass(false);
    // The period is read again on every tick: it follows the back-off.
    KillTimer(window, kTimerId);
    SetTimer(window, kTimerId, g_updater.engine.intervalMinutes * 60000u, NULL);
}

void OnCommand(HWND window, WPARAM code)
{
    switch (code) {
    case kCmdQuitProcess: SendMessageA(window, WM_QUIT, 0, 0); break;
    case kCmdReloadSettings: ReloadSettings(); break;
    case kCmdCheckAddress: CheckAddress(g_updater.engine); break;
    case kCmdForcedPass: RunPass(true); break;
    case kCmdReloadAndPass: ReloadSettings(); RunPass(false); break;
    case kCmdSettingsChanged: ReloadSettings(); break;
    case kCmdStatusGood: g_updater.engine.status = 0; break;
    case kCmdStatusWarning: g_updater.engine.status = 1; break;
    case kCmdStatusCritical: g_updater.engine.status = 2; break;
    case kCmdStatusUnconfigured: g_updater.engine.status = 3; break;
    case kCmdDeactivate: SetActive(0); break;
    case kCmdActivate: SetActive(1); break;
    default: break;
    }
}

LRESULT CALLBACK UpdaterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE: OnCreate(window); break;
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUIT: OnStop(); break;
    case WM_TIMER: OnTimer(window); return 0;
    case WM_USER: OnCommand(window, wParam); break;
    default: break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterUpdaterClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = UpdaterWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kUpdaterClass;
    return RegisterClassExA(&wc) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (IsRunningService()) {
        MessageBoxA(NULL, "Talvex Updater is already running as a system service.", kCaption,
                    MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
        return 0;
    }
    if (IsRunningProcess())
        return 0;
    if (!RegisterUpdaterClass(instance))
        return 0;
    HWND window = CreateWindowExA(0, kUpdaterClass, kUpdaterTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, HWND_MESSAGE, NULL, instance, NULL);
    if (!window)
        return 0;
    ShowWindow(window, SW_MINIMIZE);
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    LogAndSignal("Updater: Process started.", 1, 0);
    TrimWorkingSet();

    MSG msg;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
