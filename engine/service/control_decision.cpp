// The updater service's controls, each mapped to what the service does.
#include "control_decision.h"

#include "config_keys.h"
#include "signals.h"

#include <winsvc.h>

namespace {

ControlDecision Do(ControlAction action, int status = -1)
{
    ControlDecision decision;
    decision.action = action;
    decision.status = status;
    return decision;
}

// Windows reports a wake-up twice over: always as the automatic resume,
// and again as the resume a user caused. Either may come alone, and a
// second pass request only moves the same pass.
bool IsResume(DWORD eventType) { return eventType == PBT_APMRESUMEAUTOMATIC || eventType == PBT_APMRESUMESUSPEND; }

} // namespace

ControlDecision DecideControl(DWORD control, DWORD eventType)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: return Do(ControlAction::Stop);
    case SERVICE_CONTROL_POWEREVENT:
        return Do(IsResume(eventType) ? ControlAction::PassAfterResume : ControlAction::Report);
    case kCmdReloadSettings:
    case kCmdSettingsChanged: return Do(ControlAction::Reload);
    case kCmdCheckAddress: return Do(ControlAction::CheckAddress);
    case kCmdForcedPass: return Do(ControlAction::ForcedPass);
    case kCmdReloadAndPass: return Do(ControlAction::ReloadAndPass);
    case kCmdStatusGood: return Do(ControlAction::SetStatus, kStatusGood);
    case kCmdStatusWarning: return Do(ControlAction::SetStatus, kStatusWarning);
    case kCmdStatusCritical: return Do(ControlAction::SetStatus, kStatusCritical);
    case kCmdStatusUnconfigured: return Do(ControlAction::SetStatus, kStatusUnconfigured);
    case kCmdDeactivate: return Do(ControlAction::Deactivate);
    case kCmdActivate: return Do(ControlAction::Activate);
    default: return Do(ControlAction::Report); // pause, continue, interrogate and unknown codes
    }
}
