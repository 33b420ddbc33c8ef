// The updater service's controls: the standard ones and power events here,
// the user control codes through the command map both hosts share.
#include "control_decision.h"

#include <winsvc.h>

namespace {

// User control codes are 128 to 255; 18 (quit) is the process updater's
// alone and never reaches the service as a control.
const DWORD kFirstUserControl = 128;

} // namespace

ControlDecision DecideControl(DWORD control, DWORD eventType)
{
    ControlDecision decision;
    if (control == SERVICE_CONTROL_STOP || control == SERVICE_CONTROL_SHUTDOWN) {
        decision.action = ControlAction::Stop;
    } else if (control == SERVICE_CONTROL_POWEREVENT) {
        decision.action = IsResumeEvent(eventType) ? ControlAction::PassAfterResume : ControlAction::Report;
    } else if (control >= kFirstUserControl) {
        decision.command = DecideCommand(control);
        if (decision.command.action != HostCommand::Nothing && decision.command.action != HostCommand::Quit)
            decision.action = ControlAction::Command;
    }
    return decision; // pause, continue, interrogate and unknown codes: Report
}
