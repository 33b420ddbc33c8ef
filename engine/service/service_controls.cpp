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
    DeferredChanges changes;
    {
        CriticalSectionLock quick(g_service.quickLock);
        changes = g_service.deferred;
        g_service.deferred = DeferredChanges();
        if (!withNetwork) {
            g_service.deferred.checkAddress = changes.checkAddress;
            g_service.deferred.forcedPass = changes.forcedPass;
            changes.checkAddress = changes.forcedPass = false;
            if (g_service.deferred.checkAddress || g_service.deferred.forcedPass)
                SignalWorkLocked();
        }
    }

    EngineState &engine = g_service.engine;
    if (changes.reload)
        LoadEngineSettings(engine);
    if (changes.status != kNoStatusChange)
        engine.status = changes.status;
    if (changes.checkAddress)
        CheckAndAnnounceAddress(engine);
    if (changes.forcedPass)
        RunServicePass(true);
}

bool AnyDeferred(bool withNetwork)
{
    CriticalSectionLock quick(g_service.quickLock);
    const DeferredChanges &d = g_service.deferred;
    return d.reload || d.status != kNoStatusChange || (withNetwork && (d.checkAddress || d.forcedPass));
}

// Makes the deferred changes if the pass lock is free, and again while
// changes are recorded meanwhile: a control whose change came after the
// holder's last look found the lock still taken, and its change would
// otherwise wait for the next pass. Never waits for the lock.
void MakeDeferredWhileFree(bool withNetwork)
{
    while (AnyDeferred(withNetwork)) {
        CriticalSectionTryLock pass(g_service.passLock);
        if (!pass.held())
            return; // its holder makes them
        MakeDeferredChanges(withNetwork);
    }
}

// Records a change of the engine. Settings and status changes are made at
// once when no pass runs; otherwise the thread that holds the pass lock
// makes them before it lets go. Network work always goes to the service
// thread, which makes it as soon as no pass runs.
void ChangeEngine(const DeferredChanges &change)
{
    {
        CriticalSectionLock quick(g_service.quickLock);
        DeferredChanges &d = g_service.deferred;
        if (change.reload) {
            d.reload = true;
            d.status = kNoStatusChange; // the reload reads the stored status again
        }
        if (change.status != kNoStatusChange)
            d.status = change.status;
        d.checkAddress = d.checkAddress || change.checkAddress;
        d.forcedPass = d.forcedPass || change.forcedPass;
        if (change.checkAddress || change.forcedPass)
            SignalWorkLocked();
    }
    if (change.reload || change.status != kNoStatusChange)
        MakeDeferredWhileFree(false);
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
// pass runs stays set and ends the next wait at once: that pass started
// before the settings it was asked for. Several make one pass.
void WakeServiceThread()
{
    CriticalSectionLock quick(g_service.quickLock);
    if (g_service.wakeEvent)
        SetEvent(g_service.wakeEvent);
}

// The service thread moves its next pass to shortly after the wake-up.
void ResumeServiceThread()
{
    CriticalSectionLock quick(g_service.quickLock);
    if (g_service.resumeEvent)
        SetEvent(g_service.resumeEvent);
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
    CriticalSectionLock quick(g_service.quickLock);
    SetStateLocked(SERVICE_STOP_PENDING);
    SetServiceStatus(g_service.statusHandle, &g_service.status);
    if (g_service.stopEvent)
        SetEvent(g_service.stopEvent);
}

void RunServicePass(bool force)
{
    switch (RunUpdateCycle(g_service.engine, force)) {
    case PassOutcome::Stop:
        // The service's account may neither command services nor run the
        // elevated controller: it stops itself, as a stop control would.
        RequestStop();
        break;
    case PassOutcome::BackOff:
    case PassOutcome::Continue:
        break; // the service thread's next wait follows the engine's interval
    }
}

void RunUnderPassLock(const std::function<void()> &work)
{
    {
        CriticalSectionLock pass(g_service.passLock);
        work();
        MakeDeferredChanges(true);
    }
    MakeDeferredWhileFree(true);
}

void ReportState(DWORD state, DWORD controlsAccepted)
{
    CriticalSectionLock quick(g_service.quickLock);
    SetStateLocked(state);
    g_service.status.dwControlsAccepted = controlsAccepted;
    SetServiceStatus(g_service.statusHandle, &g_service.status);
}

void ReportCurrentStatus()
{
    CriticalSectionLock quick(g_service.quickLock);
    SetServiceStatus(g_service.statusHandle, &g_service.status);
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
