// TalUpPs: the updater as a hidden process of the logged-on user. A
// message-only window gives it a message loop; its timer drives the update
// cycle and its WM_USER messages carry the other programs' commands.
#include "config_keys.h"
#include "program.h"
#include "scoped.h"
#include "shared_objects.h"
#include "signals.h"
#include "tallib.h"
#include "update_cycle.h"
#include "window_state.h"

#include <sddl.h>

namespace {

const char kCaption[] = "Talvex Updater";
const UINT_PTR kTimerId = 0;
// A second updater waits this long for the lock: the first may be ending
// (stopped just before a new start), and lets go as its process ends.
const DWORD kLockWaitMs = 5000;

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
    EngineState &engine = updater.engine;
    // The utility of another user's session cannot reach this window: the
    // account is read again before every timed pass, and a changed one is
    // tried at once, as the utility's own command would have it tried.
    bool accountChanged = LoadEngineAccount(engine);
    bool pass = accountChanged || engine.status == kStatusGood ||
                (engine.status == kStatusWarning && GetActive() && GetAuthed());
    if (pass)
        RunPass(updater, false);
    // The period is decided again on every tick: it follows the back-off,
    // and the quick retries after a failed address check.
    KillTimer(window, kTimerId);
    SetTimer(window, kTimerId, pass ? NextPassDelayMs(engine) : engine.intervalMinutes * 60000u, NULL);
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

// The machine's one user-process updater holds this lock for its life.
// Empty with heldElsewhere set when another updater holds it (or made it
// with rights that refuse this account); empty without it when no mutex
// could be made at all.
ScopedHandle TakeMachineLock(bool &heldElsewhere)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    SECURITY_ATTRIBUTES sa = {sizeof sa, NULL, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kLockSecurity, SDDL_REVISION_1, &sd, NULL))
        sa.lpSecurityDescriptor = sd;
    ScopedHandle lock(CreateMutexExA(&sa, kProcessUpdaterLockName, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE));
    heldElsewhere = !lock && GetLastError() == ERROR_ACCESS_DENIED;
    if (sd)
        LocalFree(sd);
    if (lock) {
        // An abandoned lock is ours now: its holder ended without letting go.
        DWORD r = WaitForSingleObject(lock.get(), kLockWaitMs);
        heldElsewhere = r == WAIT_TIMEOUT;
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED)
            lock.reset();
    }
    return lock;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (IsRunningService()) {
        MessageBoxA(NULL, "Talvex Updater is already running as a system service.", kCaption,
                    MB_OK | MB_ICONWARNING | MB_SYSTEMMODAL);
        return 0;
    }
    bool heldElsewhere = false;
    ScopedHandle machineLock = TakeMachineLock(heldElsewhere);
    if (heldElsewhere) {
        // Another user's updater, or this user's in its first pass: two
        // would send every update twice.
        LogToFile("Updater: Another updater process runs on this computer; this one ends.", 1, 0);
        return 0;
    }
    // Without the lock (no mutex could be made at all) the updater still
    // runs: the window check below keeps one per session.
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
    if (machineLock)
        ReleaseMutex(machineLock.get());
    return 0;
}
