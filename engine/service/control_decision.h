// What the updater service does for each control the service manager
// delivers: decided here, with no Windows call, so that every control is
// tested by table, the power events Wine never sends among them.
#pragma once

#include <windows.h>

enum class ControlAction {
    Stop,            // stop and shutdown
    Report,          // report the status unchanged and nothing more
    Reload,          // 128, 132
    CheckAddress,    // 129
    ForcedPass,      // 130
    ReloadAndPass,   // 131: reload, then wake the service thread for a pass
    SetStatus,       // 133 to 136, in memory only
    Deactivate,      // 137
    Activate,        // 138
    PassAfterResume, // the computer woke from sleep: a pass shortly after
};

struct ControlDecision {
    ControlAction action = ControlAction::Report;
    int status = -1; // for SetStatus
};

// control and eventType as the handler receives them (eventType is read
// for power events only).
ControlDecision DecideControl(DWORD control, DWORD eventType);
