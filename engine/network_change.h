// When a change of the network starts a pass: after the events have been
// quiet a few seconds, at most one such pass a minute, never while the
// status is critical, never cutting a back-off short. Pure: the host feeds
// it the events and the time (GetTickCount64), the tests their own.
#pragma once

#include <windows.h>

// A burst of events (an adapter coming up gives several) is one change.
const DWORD kNetworkQuietMs = 5000;
const DWORD kNetworkPassSpacingMs = 60000;

struct NetworkChangeGate {
    bool pending = false;   // a change waits for its pass
    ULONGLONG lastEventMs = 0;
    bool passed = false;    // a change's pass ran before
    ULONGLONG lastPassMs = 0;
};

void NoteNetworkChange(NetworkChangeGate &gate, ULONGLONG nowMs);
// How long until the waiting change's pass is due; INFINITE when none waits.
DWORD NetworkPassDueInMs(const NetworkChangeGate &gate, ULONGLONG nowMs);

enum class NetworkVerdict {
    Wait, // nothing waits, or not yet: ask again after NetworkPassDueInMs
    Run,  // run a pass now
    Drop, // the change is dropped: the status is critical, or a back-off is in force
};

// backedOff: the server asked to slow down ("911", "dnserr", ...) and the
// polling interval is longer than its shortest; the timer keeps it.
NetworkVerdict DecideNetworkPass(NetworkChangeGate &gate, ULONGLONG nowMs, bool critical, bool backedOff);
