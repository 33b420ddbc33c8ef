// The network-change gate (network_change.h).
#include "network_change.h"

namespace {

ULONGLONG DueAt(const NetworkChangeGate &gate)
{
    ULONGLONG due = gate.lastEventMs + kNetworkQuietMs;
    if (gate.passed && gate.lastPassMs + kNetworkPassSpacingMs > due)
        due = gate.lastPassMs + kNetworkPassSpacingMs;
    return due;
}

} // namespace

void NoteNetworkChange(NetworkChangeGate &gate, ULONGLONG nowMs)
{
    gate.pending = true;
    gate.lastEventMs = nowMs;
}

DWORD NetworkPassDueInMs(const NetworkChangeGate &gate, ULONGLONG nowMs)
{
    if (!gate.pending)
        return INFINITE;
    ULONGLONG due = DueAt(gate);
    return due > nowMs ? (DWORD)(due - nowMs) : 0;
}

NetworkVerdict DecideNetworkPass(NetworkChangeGate &gate, ULONGLONG nowMs, bool critical, bool backedOff)
{
    if (!gate.pending || nowMs < DueAt(gate))
        return NetworkVerdict::Wait;
    gate.pending = false;
    if (critical || backedOff)
        return NetworkVerdict::Drop;
    gate.passed = true;
    gate.lastPassMs = nowMs;
    return NetworkVerdict::Run;
}
