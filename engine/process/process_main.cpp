// TalUpPs: the updater as a hidden process of the logged-on user. A
// message-only window gives it a message loop; its timer drives the update
// cycle and its WM_USER messages carry the other programs' commands.
#include "config_keys.h"
#include "host_rules.h"
#include "instance_lock.h"
#include "network_change.h"
#include "network_watch.h"
#include "process_messages.h"
#include "program.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"
#include "update_cycle.h"
#include "window_state.h"


namespace {

const char kCaption[] = "Talvex Updater";
const UINT_PTR kTimerId = 0;
// One-shot: the pass shortly after the computer resumes from sleep.
const UINT_PTR kResumeTimerId = 1;
// One-shot: a network change's pass, once the change has been quiet.
const UINT_PTR kNetworkTimerId = 2;

// Suspend and resume notices asked for a window, given back when the
// window goes (or this goes out of scope).
struct PowerNotices {
    HPOWERNOTIFY handle = NULL;
    PowerNotices() = default;
    PowerNotices(const PowerNotices &) = delete;
    PowerNotices &operator=(const PowerNotices &) = delete;
    ~PowerNotices() { Stop(); }
    void Stop();
};

// The updater's state, owned by WinMain and reached by the window
// procedure through the window's user data.
struct ProcessUpdater {
    EngineState engine;
    PowerNotices power; // a message-only window hears no broadcast
    NetworkWatch network;
    NetworkChangeGate networkGate;
};

// Runs on the system's notification threads: only posts to the window.
void PostNetworkChange(void *window) { PostMessageA((HWND)window, kNetworkChangedMessage, 0, 0); }

// A message-only window hears no broadcast, WM_POWERBROADCAST included:
// it asks for suspend and resume notifications by handle. Windows before 8
// lack the call; there the timer stays the only trigger after a resume,
// and the log says so.
typedef HPOWERNOTIFY(WINAPI *RegisterSuspendResume)(HANDLE recipient, DWORD flags);
typedef BOOL(WINAPI *UnregisterSuspendResume)(HPOWERNOTIFY notify);

void AskForPowerEvents(HWND window, PowerNotices &power)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto registerFor = (RegisterSuspendResume)(void *)GetProcAddress(user32, "RegisterSuspendResumeNotification");
    if (registerFor)
        power.handle = registerFor(window, DEVICE_NOTIFY_WINDOW_HANDLE);
    if (!power.handle)
        LogToFile("Updater: This system gives no resume notice to the process updater; its timer alone follows a "
                  "wake-up.",
                  1, 0);
}

void PowerNotices::Stop()
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    auto unregister = (UnregisterSuspendResume)(void *)GetProcAddress(user32, "UnregisterSuspendResumeNotification");
    if (handle && unregister)
        unregister(handle);
    handle = NULL;
}

void OnCreate(HWND window, ProcessUpdater &updater)
{
    AskForPowerEvents(window, updater.power);
    StartNetworkWatch(updater.network, PostNetworkChange, window);
    BuildEnginePaths(updater.engine);
    TrimWorkingSet();
    LoadEngineSettings(updater.engine);
    TrimWorkingSet();
    updater.engine.intervalMinutes = kShortestIntervalMinutes;
    if (updater.engine.loadIcon && !TrayIcon_Find())
        Execute_TrayIcon(NULL);
}

// The one way out: every stop request ends here, once, as the window goes.
void OnDestroy(ProcessUpdater &updater)
{
    updater.power.Stop();
    StopNetworkWatch(updater.network);
    LogAndSignal("Updater: Process stopped.", LOG_NEW_RECORD, LOG_INFO);
    PostQuitMessage(0);
}

// The next timed pass: the period follows the back-off, and the quick
// retries after a failed address check.
void SetPassTimer(HWND window, const EngineState &engine)
{
    SetTimer(window, kTimerId, NextPassDelayMs(engine), NULL);
}

// A pass, timed or asked for, and what its end asks of this host. A fatal
// answer ends the process by its one stop path; the status it stored holds
// the timed passes of the next start until the cause is fixed.
void RunPass(HWND window, ProcessUpdater &updater, bool force)
{
    PassOutcome outcome = RunUpdateCycle(updater.engine, force);
    TrimWorkingSet();
    switch (outcome) {
    case PassOutcome::Stop: DestroyWindow(window); break;
    case PassOutcome::BackOff:
    case PassOutcome::Continue: SetPassTimer(window, updater.engine); break;
    }
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
    TimedPassFacts facts;
    facts.host = UpdaterHost::Process;
    facts.asked = LoadEngineAccount(engine);
    facts.status = engine.status;
    facts.accountUsable = Account_IsUsable(engine.userName, engine.password) != 0;
    if (engine.status == kStatusWarning) {
        facts.active = GetActive() != 0;
        facts.authed = GetAuthed() != 0;
    }
    // The period is decided again on every tick: the pass sets it from its
    // outcome; without a pass, the polling interval.
    if (MayRunTimedPass(facts))
        RunPass(window, updater, false);
    else
        SetTimer(window, kTimerId, engine.intervalMinutes * 60000u, NULL);
}

void OnCommand(HWND window, ProcessUpdater &updater, WPARAM code)
{
    EngineState &engine = updater.engine;
    CommandDecision command = DecideCommand(code);
    switch (command.action) {
    case HostCommand::Quit: DestroyWindow(window); break;
    case HostCommand::Reload: ReloadSettings(updater); break;
    case HostCommand::CheckAddress: CheckAndAnnounceAddress(engine); break;
    case HostCommand::ForcedPass: RunPass(window, updater, true); break;
    case HostCommand::ReloadAndPass: ReloadSettings(updater); RunPass(window, updater, false); break;
    case HostCommand::SetStatus: engine.status = command.status; break;
    case HostCommand::Deactivate: SetActive(0); break;
    case HostCommand::Activate: SetActive(1); break;
    case HostCommand::Nothing: break;
    }
}

// After a wake-up the next tick comes shortly, as in the service (the
// timer's period does not count the time asleep), or when the server's
// back-off ends; the quick retries of a failed address check start over.
void OnPowerEvent(HWND window, const ProcessUpdater &updater, WPARAM powerEvent)
{
    if (!IsResumeEvent((DWORD)powerEvent))
        return;
    ULONGLONG now = GetTickCount64();
    SetTimer(window, kResumeTimerId, (UINT)(ResumePassDueMs(updater.engine, now) - now), NULL);
}

void OnResumeTimer(HWND window, ProcessUpdater &updater)
{
    KillTimer(window, kResumeTimerId);
    updater.engine.addressFailures = 0;
    OnTimer(window, updater);
}

void SetNetworkTimer(HWND window, const ProcessUpdater &updater)
{
    DWORD due = NetworkPassDueInMs(updater.networkGate, GetTickCount64());
    if (due != INFINITE)
        SetTimer(window, kNetworkTimerId, due > USER_TIMER_MINIMUM ? due : USER_TIMER_MINIMUM, NULL);
}

void OnNetworkChanged(HWND window, ProcessUpdater &updater)
{
    NoteNetworkChange(updater.networkGate, GetTickCount64());
    SetNetworkTimer(window, updater);
}

// The change has been quiet: a tick now, under the timed rule, unless the
// status is critical or a back-off is in force (the timer keeps those).
void OnNetworkTimer(HWND window, ProcessUpdater &updater)
{
    KillTimer(window, kNetworkTimerId);
    const EngineState &engine = updater.engine;
    NetworkVerdict verdict = DecideNetworkPass(updater.networkGate, GetTickCount64(),
                                               engine.status == kStatusCritical,
                                               engine.intervalMinutes > kShortestIntervalMinutes);
    if (verdict == NetworkVerdict::Run)
        OnTimer(window, updater);
    else if (verdict == NetworkVerdict::Wait)
        SetNetworkTimer(window, updater);
}

void OnTimerMessage(HWND window, ProcessUpdater &updater, WPARAM id)
{
    if (id == kResumeTimerId)
        OnResumeTimer(window, updater);
    else if (id == kNetworkTimerId)
        OnNetworkTimer(window, updater);
    else
        OnTimer(window, updater);
}

LRESULT CALLBACK UpdaterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    ProcessUpdater *updater = WindowState<ProcessUpdater>(window, message, lParam);
    if (!updater)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE: OnCreate(window, *updater); return 0;
    // A WM_QUIT sent to the window (TrayIcon_Kill's way of asking) and a
    // close both take the one stop path.
    case WM_CLOSE:
    case WM_QUIT: DestroyWindow(window); return 0;
    case WM_DESTROY: OnDestroy(*updater); return 0;
    case WM_TIMER: OnTimerMessage(window, *updater, wParam); return 0;
    case kNetworkChangedMessage: OnNetworkChanged(window, *updater); return 0;
    case WM_POWERBROADCAST: OnPowerEvent(window, *updater, wParam); return TRUE;
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
    bool heldElsewhere = false;
    ScopedHandle machineLock = TakeInstanceLock(heldElsewhere);
    // Given back before the handle closes, on every way out.
    ScopedMutexHold holding(machineLock.get());
    if (heldElsewhere) {
        // This account's updater, perhaps still in its first pass: two
        // would send every update twice.
        LogToFile("Updater: Another updater process runs on this computer; this one ends.", LOG_NEW_RECORD, LOG_INFO);
        return 0;
    }
    // Without the lock (none could be made, or another account made its
    // name) the updater still runs: the window check keeps one per session.
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
    LogAndSignal("Updater: Process started.", LOG_NEW_RECORD, LOG_INFO);
    TrimWorkingSet();

    RunMessageLoop(NULL);
    return 0;
}
