// The decisions both updater hosts share: what a command code does, and
// whether a timed pass may run. Pure: no Windows call, tested by table.
#pragma once

#include <windows.h>

// What a command of the other programs (a WM_USER code to the process
// updater, a user control code to the service) asks of an updater.
enum class HostCommand {
    Nothing,       // unknown codes
    Quit,          // 18: the process updater only; no control of the service
    Reload,        // 128, 132
    CheckAddress,  // 129
    ForcedPass,    // 130
    ReloadAndPass, // 131
    SetStatus,     // 133 to 136, in memory only
    Deactivate,    // 137
    Activate,      // 138
};

struct CommandDecision {
    HostCommand action = HostCommand::Nothing;
    int status = -1; // for SetStatus
};

CommandDecision DecideCommand(WPARAM code);

// A power event that says the computer woke: Windows reports a wake-up as
// the automatic resume and, when a user caused it, again as the resume a
// user caused; either one alone moves the pass, and a second one only
// moves the same pass.
bool IsResumeEvent(DWORD powerEvent);

// After a resume from sleep both hosts run a pass this much later: the
// network needs a moment; a check that still fails is retried soon after.
const DWORD kResumePassDelayMs = 10000;

enum class UpdaterHost { Service, Process };

// What the host knows when a timed pass (or one started by a network
// change) is due.
struct TimedPassFacts {
    UpdaterHost host = UpdaterHost::Process;
    int status = 0;             // the engine's status
    bool authed = false;        // GetAuthed: the service accepted the account
    bool active = false;        // GetActive
    bool accountUsable = false; // Account_IsUsable on the engine's account
    bool asked = false;         // a program asked for it: command 131, or an account that changed
};

bool MayRunTimedPass(const TimedPassFacts &facts);
