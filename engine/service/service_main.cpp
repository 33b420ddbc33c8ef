// TalUpSvc: the updater as the Windows service "Talvex Updater". The
// service thread runs a pass at start and after every ten-minute wait or
// wake-up; the other programs' commands arrive as control codes
// (service_controls.cpp).
#include "service_host.h"

#include "program.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <string.h>

ServiceHost g_service;

namespace {

const DWORD kPassPeriodMs = 600000; // the wait between timed passes
// Both service-process bits, as the updater has always reported them.
const DWORD kServiceType = SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS;
const DWORD kControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;

// Timed passes need a signed-in account with a user name of more than 3
// characters (the cycle itself asks for 3; command 130 passes with that).
bool MayRunTimedPass(const EngineState &engine) { return GetAuthed() && strlen(engine.userName) > 3; }

// Makes a new wake event and publishes it to the control handler, so that
// a wake-up requested while the pass ran is dropped with the old event.
// Only this thread replaces or closes the event, so the handle returned
// stays valid for its wait.
HANDLE ReplaceWakeEvent()
{
    HANDLE fresh = CreateEventA(NULL, FALSE, FALSE, NULL);
    EnterCriticalSection(&g_service.quickLock);
    HANDLE old = g_service.wakeEvent;
    if (fresh)
        g_service.wakeEvent = fresh;
    else if (old)
        ResetEvent(old); // no new event: drop the old one's wake-up instead
    HANDLE current = g_service.wakeEvent;
    LeaveCriticalSection(&g_service.quickLock);
    if (fresh && old)
        CloseHandle(old);
    return current;
}

// Waits for the end of the period, a wake-up or the stop, making the
// controls' network work (129, 130) whenever it is handed over meanwhile
// without moving the next timed pass. False on the stop or a failed wait.
bool WaitForNextPass(ULONGLONG periodEnd)
{
    HANDLE events[3] = {g_service.stopEvent, ReplaceWakeEvent(), g_service.workEvent};
    for (;;) {
        ULONGLONG now = GetTickCount64();
        DWORD left = now < periodEnd ? (DWORD)(periodEnd - now) : 0;
        DWORD woken = WaitForMultipleObjects(3, events, FALSE, left);
        if (woken != WAIT_OBJECT_0 + 2)
            return woken == WAIT_TIMEOUT || woken == WAIT_OBJECT_0 + 1;
        EnterPass();
        LeavePass(); // makes the handed-over work
    }
}

// The service thread's loop, until the stop event (or a failed wait).
void RunTimedPasses()
{
    for (;;) {
        EnterPass();
        if (MayRunTimedPass(g_service.engine))
            RunUpdateCycle(g_service.engine, false);
        LeavePass();
        if (!WaitForNextPass(GetTickCount64() + kPassPeriodMs))
            break;
    }
}

void WINAPI ServiceMain(DWORD, LPSTR *)
{
    g_service.status.dwServiceType = kServiceType;
    g_service.status.dwCurrentState = SERVICE_STOPPED;
    g_service.statusHandle = RegisterServiceCtrlHandlerA(kServiceName, ServiceControlHandler);
    if (!g_service.statusHandle)
        return;
    ReportState(SERVICE_START_PENDING, 0);

    {
        // Auto-reset events owned here; the wake event is handed to the
        // shared state and replaced before every wait, so the one current
        // at the end is taken back below.
        ScopedHandle stopEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        ScopedHandle workEvent(CreateEventA(NULL, FALSE, FALSE, NULL));
        EnterCriticalSection(&g_service.quickLock);
        g_service.stopEvent = stopEvent.get();
        g_service.wakeEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
        g_service.workEvent = workEvent.get();
        LeaveCriticalSection(&g_service.quickLock);
        ReportState(SERVICE_RUNNING, kControlsAccepted);

        // Controls arrive from here on: the settings load holds the pass lock.
        EnterPass();
        BuildEnginePaths(g_service.engine);
        g_service.engine.stopUpdater = RequestStop;
        LoadEngineSettings(g_service.engine);
        g_service.engine.intervalMinutes = kShortestIntervalMinutes;
        LeavePass();
        LogAndSignal("Updater: Service started.", 1, 0);

        RunTimedPasses();

        LogAndSignal("Updater: Service stopped.", 1, 0);
        ReportState(SERVICE_STOP_PENDING, kControlsAccepted);
        EnterCriticalSection(&g_service.quickLock);
        ScopedHandle wakeEvent(g_service.wakeEvent);
        g_service.stopEvent = NULL;
        g_service.wakeEvent = NULL;
        g_service.workEvent = NULL;
        LeaveCriticalSection(&g_service.quickLock);
    }
    ReportState(SERVICE_STOPPED, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    TrimWorkingSet();
    // The locks live as long as the process: the service thread may still
    // be leaving one when the dispatcher returns after the stopped report.
    InitializeCriticalSection(&g_service.passLock);
    InitializeCriticalSection(&g_service.quickLock);
    SERVICE_TABLE_ENTRYA table[] = {
        {const_cast<char *>(kServiceName), ServiceMain}, // the dispatcher never writes the name
        {NULL, NULL},
    };
    StartServiceCtrlDispatcherA(table);
    return 0;
}
