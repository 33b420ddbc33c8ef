// The command map of both updater hosts and the rule for a timed pass.
#include "host_rules.h"

#include "config_keys.h"
#include "signals.h"

namespace {

CommandDecision Decision(HostCommand action, int status = -1)
{
    CommandDecision decision;
    decision.action = action;
    decision.status = status;
    return decision;
}

} // namespace

CommandDecision DecideCommand(WPARAM code)
{
    switch (code) {
    case kCmdQuitProcess: return Decision(HostCommand::Quit);
    case kCmdReloadSettings:
    case kCmdSettingsChanged: return Decision(HostCommand::Reload);
    case kCmdCheckAddress: return Decision(HostCommand::CheckAddress);
    case kCmdForcedPass: return Decision(HostCommand::ForcedPass);
    case kCmdReloadAndPass: return Decision(HostCommand::ReloadAndPass);
    case kCmdStatusGood: return Decision(HostCommand::SetStatus, kStatusGood);
    case kCmdStatusWarning: return Decision(HostCommand::SetStatus, kStatusWarning);
    case kCmdStatusCritical: return Decision(HostCommand::SetStatus, kStatusCritical);
    case kCmdStatusUnconfigured: return Decision(HostCommand::SetStatus, kStatusUnconfigured);
    case kCmdDeactivate: return Decision(HostCommand::Deactivate);
    case kCmdActivate: return Decision(HostCommand::Activate);
    default: return Decision(HostCommand::Nothing);
    }
}

bool IsResumeEvent(DWORD powerEvent)
{
    return powerEvent == PBT_APMRESUMEAUTOMATIC || powerEvent == PBT_APMRESUMESUSPEND;
}

// A critical status (the server refused the account or a host) stops the
// timed passes of both hosts until the utility saves the configuration
// again: sending the refused request at every period is how an account
// gets blocked. The service needs the account accepted by the server and
// long enough to send; what it was asked for runs whatever the status.
// The process updater passes while the status is good, and while it warns
// only when it is active with an accepted account; an account that changed
// is tried at once. (The cycle itself ends quietly for an account too
// short, after the address check the icon shows.)
bool MayRunTimedPass(const TimedPassFacts &facts)
{
    if (facts.host == UpdaterHost::Service)
        return facts.authed && facts.accountUsable && (facts.asked || facts.status != kStatusCritical);
    if (facts.asked)
        return true;
    return facts.status == kStatusGood || (facts.status == kStatusWarning && facts.active && facts.authed);
}
