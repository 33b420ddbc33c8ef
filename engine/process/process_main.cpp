// TalUpPs: the updater as a hidden process of the logged-on user. A
// message-only window gives it a message loop; its timer drives the update
// cycle and its WM_USER messages carry the other programs' commands.
#include "config_keys.h"
#include "program.h"
#include "signals.h"
#include "tallib.h"
#include "update_cycle.h"
#include "window_state.h"

namespace {

const char kCaption[] = "Talvex Updater";
const UINT_PTR kTimerId = 0;

// The updater's state, owned by WinMain and reached by the window
// procedure through the window's user data.
struct ProcessUpdater {
    EngineState engine;
};

void OnCreate(ProcessUpdater &updater)
{
    BuildEnginePaths(updater.engine);
    TrimWorkingSet();
    LoadEngineSettings(updater.engine);
    TrimWorkingSet();
    updater.engine.intervalMinutes = kShortestIntervalMinutes;
    if (updater.engine.loadIcon && !TrayIcon_Find())
        Execute_TrayIcon(NULL);
}

// The one way out: every stop request ends here, once, as the window goes.
void OnDestroy()
{
    LogAndSignal("Updater: Process stopped.", 1, 0);
    PostQuitMessage(0);
}

void RunPass(ProcessUpdater &updater, bool force)
{
    RunUpdateCycle(updater.engine, force);
    TrimWorkingSet();
}

void ReloadSettings(ProcessUpdater &updater)
{
    LoadEngineSettings(updater.engine);
    TrimWorkingSet();
}

void OnTimer(HWND window, ProcessUpdater &updater)
{
    if (IsRunningService()) { // the service is the updater now
        PostQuitMessage(0);
        return;
    }
    const EngineState &engine = updater.engine;
    if (engine.status == kStatusGood || (engine.status == kStatusWarning && GetActive() && GetAuthed()))
        RunPass(updater, false);
    // The period is read again on every tick: it follows the back-off.
    KillTimer(window, kTimerId);
    SetTimer(window, kTimerId, updater.engine.intervalMinutes * 60000u, NULL);
}

void OnCommand(HWND window, ProcessUpdater &updater, WPARAM code)
{
    EngineState &engine = updater.engine;
    switch (code) {
    case kCmdQuitProcess: DestroyWindow(window); break;
    case kCmdReloadSettings: ReloadSettings(updater); break;
    case kCmdCheckAddress: CheckAddress(engine); break;
    case kCmdForcedPass: RunPass(updater, true); break;
    case kCmdReloadAndPass: ReloadSettings(updater); RunPass(updater, false); break;
    case kCmdSettingsChanged: ReloadSettings(updater); break;
    case kCmdStatusGood: engine.status = kStatusGood; break;
    case kCmdStatusWarning: engine.status = kStatusWarning; break;
    case kCmdStatusCritical: engine.status = kStatusCritical; break;
    case kCmdStatusUnconfigured: engine.status = kStatusUnconfigured; break;
    case kCmdDeactivate: SetActive(0); break;
    case kCmdActivate: SetActive(1); break;
    default: break;
    }
}

LRESULT CALLBACK UpdaterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ProcessUpdater *updater = WindowState<ProcessUpdater>(window, message, lParam);
    if (!updater)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE: OnCreate(*updater); return 0;
    // A WM_QUIT sent to the window (TrayIcon_Kill's way of asking) and a
    // close both take the one stop path.
    case WM_CLOSE:
    case WM_QUIT: DestroyWindow(window); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_TIMER: OnTimer(window, *updater); return 0;
    case WM_USER: OnCommand(window, *updater, wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool RegisterUpdaterClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = UpdaterWindowProc;
    wc.hInstance = instance;
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
    ProcessUpdater updater;
    // A message-only window: never shown, found by class from other programs.
    HWND window = CreateWindowExA(0, kUpdaterClass, kUpdaterTitle, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance,
                                  &updater);
    if (!window)
        return 0;
    // The first tick runs before the start is logged, so the start record
    // follows the records of the first pass.
    OnTimer(window, updater);
    LogAndSignal("Updater: Process started.", 1, 0);
    TrimWorkingSet();

    RunMessageLoop(NULL);
    return 0;
}
