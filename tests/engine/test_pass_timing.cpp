// When the updaters run their next pass, and what the service does for a
// power event (which Wine never delivers to a service): pure decisions.
#include <gtest/gtest.h>

#include "control_decision.h"
#include "host_rules.h"
#include "tallib.h"
#include "update_cycle.h"

TEST(PassTiming, QuickRetriesAfterFailedAddressChecksThenTheBackedOffInterval)
{
    // {failed checks in a row, interval in minutes, the wait}; 20 minutes after a "911".
    const DWORD cases[][3] = {{0, 10, 600000}, {1, 10, 30000},   {2, 10, 60000},   {3, 10, 120000},
                              {4, 10, 300000}, {5, 10, 600000}, {9, 40, 2400000}, {0, 20, 1200000}};
    for (const auto &c : cases) {
        EngineState engine;
        engine.addressFailures = c[0];
        engine.intervalMinutes = c[1];
        EXPECT_EQ(c[2], NextPassDelayMs(engine)) << c[0] << " failures, " << c[1] << " minutes";
    }
}

// A wake-up at minute 30 after a pass at minute 0 (GetTickCount64 counts
// the time asleep): shortly after it, unless the server's back-off runs
// longer.
TEST(PassTiming, AResumeRunsAPassShortlyAfterUnlessTheBackOffEndsLater)
{
    const ULONGLONG kMinute = 60000, kWake = 30 * kMinute;
    const struct {
        unsigned intervalMinutes;
        ULONGLONG due;
    } cases[] = {
        {10, kWake + kResumePassDelayMs},  // no back-off: the network changed while asleep
        {20, kWake + kResumePassDelayMs},  // the back-off ended while asleep
        {40, 40 * kMinute},                // "911" twice: not before it ends
        {160, 160 * kMinute},
    };
    for (const auto &c : cases) {
        EngineState engine;
        engine.intervalMinutes = c.intervalMinutes;
        engine.lastPassMs = 0;
        EXPECT_EQ(c.due, ResumePassDueMs(engine, kWake)) << c.intervalMinutes << " minutes";
    }
}

// The decisions both updaters share, in one place: what each command code
// does, what a power event does, when a timed pass may run, and which
// account may be sent.
TEST(SharedDecisions, EachCommandCodeMeansTheSameToBothHosts)
{
    struct Case {
        DWORD code;
        HostCommand command;
        int status;
        ControlAction service; // what the service does with it as a control code
    };
    const Case cases[] = {
        {18, HostCommand::Quit, -1, ControlAction::Report}, // no control of the service
        {128, HostCommand::Reload, -1, ControlAction::Command},
        {129, HostCommand::CheckAddress, -1, ControlAction::Command},
        {130, HostCommand::ForcedPass, -1, ControlAction::Command},
        {131, HostCommand::ReloadAndPass, -1, ControlAction::Command},
        {132, HostCommand::Reload, -1, ControlAction::Command},
        {133, HostCommand::SetStatus, 0, ControlAction::Command},
        {134, HostCommand::SetStatus, 1, ControlAction::Command},
        {135, HostCommand::SetStatus, 2, ControlAction::Command},
        {136, HostCommand::SetStatus, 3, ControlAction::Command},
        {137, HostCommand::Deactivate, -1, ControlAction::Command},
        {138, HostCommand::Activate, -1, ControlAction::Command},
        {139, HostCommand::Nothing, -1, ControlAction::Report},
        {SERVICE_CONTROL_STOP, HostCommand::Nothing, -1, ControlAction::Stop},
        {SERVICE_CONTROL_SHUTDOWN, HostCommand::Nothing, -1, ControlAction::Stop},
        {SERVICE_CONTROL_INTERROGATE, HostCommand::Nothing, -1, ControlAction::Report},
    };
    for (const Case &c : cases) {
        if (c.code >= 18) {
            CommandDecision command = DecideCommand(c.code);
            EXPECT_EQ(c.command, command.action) << c.code;
            EXPECT_EQ(c.status, command.status) << c.code;
        }
        ControlDecision control = DecideControl(c.code, 0);
        EXPECT_EQ(c.service, control.action) << c.code;
        if (control.action == ControlAction::Command) {
            EXPECT_EQ(c.command, control.command.action) << c.code;
        }
    }
}

TEST(SharedDecisions, AResumeFromSleepAsksForAPassAndOtherPowerEventsForNothing)
{
    const DWORD cases[][3] = {
        {PBT_APMRESUMEAUTOMATIC, 1, (DWORD)ControlAction::PassAfterResume},
        {PBT_APMRESUMESUSPEND, 1, (DWORD)ControlAction::PassAfterResume},
        {PBT_APMSUSPEND, 0, (DWORD)ControlAction::Report},
        {PBT_APMPOWERSTATUSCHANGE, 0, (DWORD)ControlAction::Report},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c[1] != 0, IsResumeEvent(c[0])) << c[0];
        EXPECT_EQ(c[2], (DWORD)DecideControl(SERVICE_CONTROL_POWEREVENT, c[0]).action) << c[0];
    }
    // The event type is read for power events only.
    EXPECT_EQ(ControlAction::Command, DecideControl(130, PBT_APMRESUMEAUTOMATIC).action);
}

TEST(SharedDecisions, WhenATimedPassMayRun)
{
    const UpdaterHost S = UpdaterHost::Service, P = UpdaterHost::Process;
    struct Case {
        UpdaterHost host;
        int status;
        bool authed, active, usable, asked;
        bool runs;
    };
    const Case cases[] = {
        {S, 0, true, false, true, false, true},
        {S, 1, true, false, true, false, true},  // the service does not slow down for a warning
        {S, 3, true, false, true, false, true},
        {S, 2, true, false, true, false, false}, // critical: no timed pass...
        {S, 2, true, false, true, true, true},   // ...but command 131 runs one
        {S, 0, false, true, true, true, false},  // an account the server refused
        {S, 0, true, true, false, true, false},  // an account too short to send
        {P, 0, false, false, false, false, true}, // the cycle shows the address, then ends quietly
        {P, 1, true, true, true, false, true},
        {P, 1, false, true, true, false, false},
        {P, 1, true, false, true, false, false},
        {P, 2, true, true, true, false, false},
        {P, 3, true, true, true, false, false},
        {P, 2, false, false, true, true, true}, // an account that changed is tried at once
    };
    for (const Case &c : cases) {
        TimedPassFacts facts;
        facts.host = c.host;
        facts.status = c.status;
        facts.authed = c.authed;
        facts.active = c.active;
        facts.accountUsable = c.usable;
        facts.asked = c.asked;
        EXPECT_EQ(c.runs, MayRunTimedPass(facts))
            << (c.host == S ? "service" : "process") << " status " << c.status << " authed " << c.authed
            << " active " << c.active << " usable " << c.usable << " asked " << c.asked;
    }
}

TEST(SharedDecisions, AnAccountIsUsableWithAtLeastThreeCharactersInNameAndPassword)
{
    struct Case {
        const char *name, *password;
        int usable;
    };
    const Case cases[] = {{"abc", "xyz", 1}, {"demo", "demo-pass", 1}, {"ab", "xyz", 0}, {"abc", "xy", 0},
                          {"", "", 0},       {NULL, "xyz", 0},         {"abc", NULL, 0}};
    for (const Case &c : cases)
        EXPECT_EQ(c.usable, Account_IsUsable(c.name, c.password))
            << (c.name ? c.name : "(null)") << "/" << (c.password ? c.password : "(null)");
}
