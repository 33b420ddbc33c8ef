// TalUpSvc: the updater as the Windows service "Talvex Updater". The
// service thread runs a pass at start, after every wait the engine asks
// for (its polling interval, or a quick retry after a failed address
// check), after a wake-up and shortly after the computer resumes from
// sleep; the other programs' commands arrive as control codes
// (service_controls.cpp).
#include "service_host.h"

#include "admin_events.h"
#include "host_rules.h"
#include "network_watch.h"
#include "program.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <string.h>

// Never destroyed: see the locks' lifetime in service_host.h.
ServiceHost &g_service = *new ServiceHost;

namespace {

// Both service-process bits, as the updater has always reported them.
const DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
const DWORD kControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_POWEREVENT;

// What ended a wait of the service thread.
enum class Wake { Stop, Timed, Woken, NetworkChanged };

// The rule both hosts share; a wake-up (command 131) is a pass asked for.
bool MayRunPass(const EngineState &engine, Wake wake)
{
    TimedPassFacts facts;
    facts.host = UpdaterHost::Service;
    facts.status = engine.status;
    facts.authed = GetAuthed() != 0;
    facts.accountUsable = Account_IsUsable(engine.userName, engine.password) != 0;
    facts.asked = wake == Wake::Woken;
    return MayRunTimedPass(facts);
}

// A stop the service did not choose ends with the Windows error as its exit
// code, so that the recovery actions the installer set restart it; a stop
// that was asked for (the utility, a refused account) ends with success.
void EndWithFailure(DWORD error)
{
    CriticalSectionLock quick(g_service.quickLock);
    g_service.status.dwWin32ExitCode = error ? error : ERROR_INVALID_HANDLE;
}

// The network-change callbacks run on the system's threads: they only set
// the event, whose handle outlives the registrations.
void SignalNetworkChange(void *event) { SetEvent((HANDLE)event); }

// A network change that has been quiet long enough: true when its pass
// runs now; a change dropped (critical status, a back-off in force) leaves
// the timed pass where it was.
bool NetworkPassNow()
{
    NetworkVerdict verdict = NetworkVerdict::Run;
    RunUnderPassLock([&] {
        const EngineState &engine = g_service.engine;
        verdict = DecideNetworkPass(g_service.networkGate, GetTickCount64(), engine.status == kStatusCritical,
                                    engine.intervalMinutes > kShortestIntervalMinutes);
    });
    return verdict == NetworkVerdict::Run;
}

// Waits for the end of the period, a wake-up or the stop, making the
// controls' network work (129, 130) whenever it is handed over meanwhile
// without moving the next timed pass. A wake-up asked for while the last
// pass ran ends the wait at once: its reload came after that pass's start.
// A resume from sleep brings the timed pass forward to shortly after it
// (the wait's time-out does not count the time asleep), never before the
// server's back-off ends. Wake::Stop on the stop or a failed wait.
Wake WaitForNextPass(ULONGLONG periodEnd)
{
    HANDLE events[5] = {g_service.stopEvent, g_service.wakeEvent, g_service.workEvent, g_service.resumeEvent,
                        g_service.networkEvent};
    DWORD count = g_service.networkEvent ? 5 : 4;
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD left = now < periodEnd ? (DWORD)(periodEnd - now) : 0;
        DWORD network = NetworkPassDueInMs(g_service.networkGate, now);
        switch (WaitForMultipleObjects(count, events, FALSE, network < left ? network : left)) {
        case WAIT_TIMEOUT:
            if (GetTickCount64() >= periodEnd)
                return Wake::Timed;
            if (NetworkPassNow())
                return Wake::NetworkChanged;
            break;
        case WAIT_OBJECT_0 + 1: return Wake::Woken;
        case WAIT_OBJECT_0 + 2:
            RunUnderPassLock([] {}); // makes the handed-over work
            break;
        case WAIT_OBJECT_0 + 3:
            RunUnderPassLock([&] {
                ULONGLONG due = ResumePassDueMs(g_service.engine, GetTickCount64());
                if (periodEnd > due)
                    periodEnd = due;
                g_service.engine.addressFailures = 0; // the quick retries start over
            });
            break;
        case WAIT_OBJECT_0 + 4: NoteNetworkChange(g_service.networkGate, GetTickCount64()); break;
        case WAIT_OBJECT_0: return Wake::Stop;
        default: EndWithFailure(GetLastError()); return Wake::Stop;
        }
    }
}

// The service thread's loop, until the stop event (or a failed wait).
void RunTimedPasses()
{
    Wake wake = Wake::Timed;
    for (;;) {
        DWORD delay = 0;
        RunUnderPassLock([&] {
            EngineState &engine = g_service.engine;
            // A network change's pass follows the timed rule: never while critical.
            bool ran = MayRunPass(engine, wake == Wake::NetworkChanged ? Wake::Timed : wake);
            if (ran)
                RunServicePass(false);
            // The engine's wait, back-off and quick retries included; without
            // a pass, the polling interval.
            delay = ran ? NextPassDelayMs(engine) : engine.intervalMinutes * 60000u;
        });
        wake = WaitForNextPass(GetTickCount64() + delay);
        if (wake == Wake::Stop)
            break;
    }
}

void WINAPI ServiceMain(DWORD, LPSTR *)
{
    g_service.status.dwServiceType = kServiceType;
    g_service.status.dwCurrentState = SERVICE_STOPPED;
    // The extended handler: the only one that hears of power events.
    g_service.statusHandle = RegisterServiceCtrlHandlerExA(kServiceName, ServiceControlHandler, NULL);
    if (!g_service.statusHandle)
        return;
    ReportState(SERVICE_START_PENDING, 0);

    {
        // Auto-reset events owned here, published to the control handler
        // until the service thread is done with them.
        ScopedHandle stopEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        ScopedHandle wakeEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        ScopedHandle workEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        ScopedHandle resumeEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        ScopedHandle networkEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        {
            CriticalSectionLock quick(g_service.quickLock);
            g_service.stopEvent = stopEvent.get();
            g_service.wakeEvent = wakeEvent.get();
            g_service.workEvent = workEvent.get();
            g_service.resumeEvent = resumeEvent.get();
            g_service.networkEvent = networkEvent.get();
        }
        ReportState(SERVICE_RUNNING, kControlsAccepted);

        // Controls arrive from here on: the settings load holds the pass lock.
        RunUnderPassLock([] {
            BuildEnginePaths(g_service.engine);
            LoadEngineSettings(g_service.engine);
            g_service.engine.intervalMinutes = kShortestIntervalMinutes;
        });
        LogAndSignal("Updater: Service started.", LOG_NEW_RECORD, LOG_INFO);
        ReportServiceStarted();

        NetworkWatch network;
        if (networkEvent)
            StartNetworkWatch(network, SignalNetworkChange, networkEvent.get());
        RunTimedPasses();
        StopNetworkWatch(network);

        LogAndSignal("Updater: Service stopped.", LOG_NEW_RECORD, LOG_INFO);
        ReportServiceStopped();
        ReportState(SERVICE_STOP_PENDING, kControlsAccepted);
        CriticalSectionLock quick(g_service.quickLock);
        g_service.stopEvent = NULL;
        g_service.wakeEvent = NULL;
        g_service.workEvent = NULL;
        g_service.resumeEvent = NULL;
        g_service.networkEvent = NULL;
    }
    ReportState(SERVICE_STOPPED, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TrimWorkingSet();
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<char *>(kServiceName), ServiceMain}, // the dispatcher never writes the name
        {NULL, NULL},
    };
    StartServiceCtrlDispatcherA(table);
    return 0;
}
