// What the updater service does for each control the service manager
// delivers: decided here, with no Windows call, so that every control is
// tested by table, the power events Wine never sends among them.
#pragma once

#include "host_rules.h"

#include <windows.h>

enum class ControlAction {
    Stop,            // stop and shutdown
    Report,          // report the status unchanged and nothing more
    Command,         // a user control code: the command map both hosts share
    PassAfterResume, // the computer woke from sleep: a pass shortly after
};

struct ControlDecision {
    ControlAction action = ControlAction::Report;
    CommandDecision command; // for Command
};

// control and eventType as the handler receives them (eventType is read
// for power events only).
ControlDecision DecideControl(DWORD control, DWORD eventType);
