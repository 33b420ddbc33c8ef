// TalUpSvc's process-wide state, shared by the service thread (timed and
// woken passes) and the dispatcher thread (the control handler).
#pragma once

#include "network_change.h"
#include "update_cycle.h"

#include "scoped.h"

#include <windows.h>
#include <winsvc.h>

#include <functional>

// The status of a DeferredChanges that sets none.
const int kNoStatusChange = -1;

// Engine changes the control handler could not make at once because the
// pass lock was taken; the lock's holder makes them before it lets go.
struct DeferredChanges {
    bool reload = false;          // 128, 131, 132
    int status = kNoStatusChange; // 133 to 136
    bool checkAddress = false;    // 129
    bool forcedPass = false;      // 130
};

// How passes are serialized: `passLock` is held around every pass, every
// settings load and every other change of `engine`, whichever thread makes
// it. The dispatcher thread never waits for it: it only tries the lock
// (CriticalSectionTryLock), and a control that finds it taken records its
// change in `deferred`; the holder makes the change before releasing the
// lock (RunUnderPassLock). So the standard controls and every user control
// return at once while a pass runs, and no two passes (or a pass and a
// reload) ever overlap.
//
// The dispatcher thread never does network work either: the address check
// (129) and the forced pass (130) are handed to the service thread through
// `deferred` and `workEvent`, so that a stop or shutdown sent meanwhile is
// answered at once instead of waiting behind a whole exchange.
//
// `quickLock` guards only a few instructions at a time: the status record
// and its report, the event handles and `deferred`. It is never held across
// a pass or any wait.
//
// The locks live as long as the process (g_service is never destroyed): the
// service thread may still be leaving one when the dispatcher returns after
// the stopped report.
struct ServiceHost {
    EngineState engine;
    CriticalSection passLock;
    CriticalSection quickLock;
    DeferredChanges deferred;
    SERVICE_STATUS status = {};
    SERVICE_STATUS_HANDLE statusHandle = NULL;
    HANDLE stopEvent = NULL;
    HANDLE wakeEvent = NULL; // command 131: a pass after the running one, or at once
    HANDLE workEvent = NULL; // set when network work waits in `deferred`
    HANDLE resumeEvent = NULL; // set when the computer woke from sleep
    HANDLE networkEvent = NULL; // set by the network-change callbacks
    NetworkChangeGate networkGate; // the service thread's alone
};

extern ServiceHost &g_service;

// A stop-pending report promises the next report within this time. A stop
// that arrives during a pass is acted on when the pass ends, so the hint
// covers the longest pass: the proxy probe and the update request, each
// with its full time-outs.
const DWORD kStopWaitHintMs = 180000;

// Runs work with the pass lock held, then makes the deferred changes, the
// network work included, before letting the lock go. Only the service
// thread calls it.
void RunUnderPassLock(const std::function<void()> &work);

// One pass, by the pass lock's holder, and what its outcome asks of the
// service: a fatal answer stops it.
void RunServicePass(bool force);

// Sets the state and the controls accepted and reports the status record
// to the service control manager; ReportCurrentStatus reports it unchanged.
void ReportState(DWORD state, DWORD controlsAccepted);
void ReportCurrentStatus();

DWORD WINAPI ServiceControlHandler(DWORD code, DWORD eventType, void *eventData, void *context);
// Stop and shutdown, and a fatal result of a pass: reported at once; a
// running pass ends first.
void RequestStop();
