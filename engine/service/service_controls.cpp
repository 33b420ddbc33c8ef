// TalUpSvc's control handler and the pass lock: every command of the other
// programs arrives here on the dispatcher thread, which must never wait
// for a pass of the service thread.
#include "service_host.h"

#include "control_decision.h"
#include "signals.h"
#include "tallib.h"

namespace {

// Enters a state; the caller holds quickLock and reports next.
void SetStateLocked(DWORD state)
{
    SERVICE_STATUS &status = g_service.status;
    status.dwCurrentState = state;
    if (state == SERVICE_STOP_PENDING) {
        // Each stop-pending report promises the next within the hint; a
        // hint of 0 would let a waiting controller give up on a stop that
        // only waits for the running pass to end.
        status.dwWaitHint = kStopWaitHintMs;
        ++status.dwCheckPoint;
    } else {
        status.dwWaitHint = 0;
        status.dwCheckPoint = 0;
    }
}

// Tells the service thread that network work waits; the caller holds
// quickLock.
void SignalWorkLocked()
{
    if (g_service.workEvent)
        SetEvent(g_service.workEvent);
}

// The changes the pass lock's holder has been handed, made now. Without
// withNetwork (on the dispatcher thread) the address check and the forced
// pass stay recorded for the service thread.
void MakeDeferredChanges(bool withNetwork)
{
    EnterCriticalSection(&g_service.quickLock);
    DeferredChanges changes = g_service.deferred;
    g_service.deferred = DeferredChanges();
    if (!withNetwork) {
        g_service.deferred.checkAddress = changes.checkAddress;
        g_service.deferred.forcedPass = changes.forcedPass;
        changes.checkAddress = changes.forcedPass = false;
        if (g_service.deferred.checkAddress || g_service.deferred.forcedPass)
            SignalWorkLocked();
    }
    LeaveCriticalSection(&g_service.quickLock);

    EngineState &engine = g_service.engine;
    if (changes.reload)
        LoadEngineSettings(engine);
    if (changes.status >= 0)
        engine.status = changes.status;
    if (changes.checkAddress)
        CheckAndAnnounceAddress(engine);
    if (changes.forcedPass)
        RunUpdateCycle(engine, true);
}

bool AnyDeferred(bool withNetwork)
{
    EnterCriticalSection(&g_service.quickLock);
    const DeferredChanges &d = g_service.deferred;
    bool any = d.reload || d.status >= 0 || (withNetwork && (d.checkAddress || d.forcedPass));
    LeaveCriticalSection(&g_service.quickLock);
    return any;
}

// Releases the pass lock after making the deferred changes; with the same
// second look as LeavePass, for changes recorded meanwhile.
void LeavePassMaking(bool withNetwork)
{
    for (;;) {
        MakeDeferredChanges(withNetwork);
        LeaveCriticalSection(&g_service.passLock);
        // A change recorded after MakeDeferredChanges, whose maker found
        // the lock still taken, would otherwise wait for the next pass.
        if (!AnyDeferred(withNetwork) || !TryEnterCriticalSection(&g_service.passLock))
            break;
    }
}

// Records a change of the engine. Settings and status changes are made at
// once when no pass runs; otherwise the thread that holds the pass lock
// makes them before it lets go. Network work always goes to the service
// thread, which makes it as soon as no pass runs.
void ChangeEngine(const DeferredChanges &change)
{
    EnterCriticalSection(&g_service.quickLock);
    DeferredChanges &d = g_service.deferred;
    if (change.reload) {
        d.reload = true;
        d.status = -1; // the reload reads the stored status again
    }
    if (change.status >= 0)
        d.status = change.status;
    d.checkAddress = d.checkAddress || change.checkAddress;
    d.forcedPass = d.forcedPass || change.forcedPass;
    if (change.checkAddress || change.forcedPass)
        SignalWorkLocked();
    LeaveCriticalSection(&g_service.quickLock);

    if ((change.reload || change.status >= 0) && TryEnterCriticalSection(&g_service.passLock))
        LeavePassMaking(false);
}

DeferredChanges Reload()
{
    DeferredChanges change;
    change.reload = true;
    return change;
}

DeferredChanges SetEngineStatus(int status)
{
    DeferredChanges change;
    change.status = status;
    return change;
}

DeferredChanges CheckAddressOnly()
{
    DeferredChanges change;
    change.checkAddress = true;
    return change;
}

DeferredChanges ForcedPass()
{
    DeferredChanges change;
    change.forcedPass = true;
    return change;
}

// The service thread runs a pass when it wakes. A wake-up made while a
// pass runs is dropped with the event the service thread replaces.
void WakeServiceThread()
{
    EnterCriticalSection(&g_service.quickLock);
    if (g_service.wakeEvent)
        SetEvent(g_service.wakeEvent);
    LeaveCriticalSection(&g_service.quickLock);
}

// The service thread moves its next pass to shortly after the wake-up.
void ResumeServiceThread()
{
    EnterCriticalSection(&g_service.quickLock);
    if (g_service.resumeEvent)
        SetEvent(g_service.resumeEvent);
    LeaveCriticalSection(&g_service.quickLock);
}

// A user control code, as the shared command map reads it.
void OnCommand(const CommandDecision &command)
{
    switch (command.action) {
    case HostCommand::Reload: ChangeEngine(Reload()); break;
    case HostCommand::CheckAddress: ChangeEngine(CheckAddressOnly()); break;
    case HostCommand::ForcedPass: ChangeEngine(ForcedPass()); break;
    case HostCommand::ReloadAndPass:
        ChangeEngine(Reload());
        WakeServiceThread();
        break;
    case HostCommand::SetStatus: ChangeEngine(SetEngineStatus(command.status)); break;
    case HostCommand::Deactivate: SetActive(0); break;
    case HostCommand::Activate: SetActive(1); break;
    case HostCommand::Quit:
    case HostCommand::Nothing: break;
    }
}

} // namespace

void RequestStop()
{
    EnterCriticalSection(&g_service.quickLock);
    SetStateLocked(SERVICE_STOP_PENDING);
    SetServiceStatus(g_service.statusHandle, &g_service.status);
    if (g_service.stopEvent)
        SetEvent(g_service.stopEvent);
    LeaveCriticalSection(&g_service.quickLock);
}

void EnterPass() { EnterCriticalSection(&g_service.passLock); }

void LeavePass() { LeavePassMaking(true); }

void ReportState(DWORD state, DWORD controlsAccepted)
{
    EnterCriticalSection(&g_service.quickLock);
    SetStateLocked(state);
    g_service.status.dwControlsAccepted = controlsAccepted;
    SetServiceStatus(g_service.statusHandle, &g_service.status);
    LeaveCriticalSection(&g_service.quickLock);
}

void ReportCurrentStatus()
{
    EnterCriticalSection(&g_service.quickLock);
    SetServiceStatus(g_service.statusHandle, &g_service.status);
    LeaveCriticalSection(&g_service.quickLock);
}

// Runs on the dispatcher thread and returns at once for every control: the
// network work of 129 and 130 runs on the service thread. Every control is
// answered as handled, as the service always has: the controller reports a
// code as sent whether or not the service acts on it.
DWORD WINAPI ServiceControlHandler(DWORD code, DWORD eventType, void *, void *)
{
    ControlDecision decision = DecideControl(code, eventType);
    switch (decision.action) {
    case ControlAction::Stop: RequestStop(); return NO_ERROR;
    case ControlAction::Report: break;
    case ControlAction::Command: OnCommand(decision.command); break;
    case ControlAction::PassAfterResume: ResumeServiceThread(); break;
    }
    ReportCurrentStatus();
    return NO_ERROR;
}
