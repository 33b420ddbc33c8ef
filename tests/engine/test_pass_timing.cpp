// When the updaters run their next pass, and what the service does for each
// control: pure decisions, tested by table, including the power events that
// Wine never delivers to a service.
#include <gtest/gtest.h>

#include "control_decision.h"
#include "update_cycle.h"

TEST(PassTiming, QuickRetriesAfterFailedAddressChecksThenTheBackedOffInterval)
{
    struct Case {
        unsigned failures, intervalMinutes;
        DWORD delayMs;
    } cases[] = {
        {0, 10, 600000},  {1, 10, 30000},  {2, 10, 60000}, {3, 10, 120000}, {4, 10, 300000},
        {5, 10, 600000},  {9, 40, 2400000}, // still offline: no faster than the interval
        {0, 20, 1200000}, {0, 160, 9600000}, // after "911" and further warnings
    };
    for (const Case &c : cases) {
        EngineState engine;
        engine.addressFailures = c.failures;
        engine.intervalMinutes = c.intervalMinutes;
        EXPECT_EQ(c.delayMs, NextPassDelayMs(engine)) << c.failures << " failures, " << c.intervalMinutes << " min";
    }
}

TEST(ServiceControls, EachControlAndPowerEventMapsToItsAction)
{
    struct Case {
        DWORD control, eventType;
        ControlAction action;
        int status;
    } cases[] = {
        {SERVICE_CONTROL_STOP, 0, ControlAction::Stop, -1},
        {SERVICE_CONTROL_SHUTDOWN, 0, ControlAction::Stop, -1},
        {SERVICE_CONTROL_INTERROGATE, 0, ControlAction::Report, -1},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMEAUTOMATIC, ControlAction::PassAfterResume, -1},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMESUSPEND, ControlAction::PassAfterResume, -1},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMSUSPEND, ControlAction::Report, -1},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMPOWERSTATUSCHANGE, ControlAction::Report, -1},
        {PBT_APMRESUMEAUTOMATIC, 0, ControlAction::Report, -1}, // an event type is no control
        {128, 0, ControlAction::Reload, -1},
        {129, 0, ControlAction::CheckAddress, -1},
        {130, PBT_APMRESUMEAUTOMATIC, ControlAction::ForcedPass, -1},
        {131, 0, ControlAction::ReloadAndPass, -1},
        {132, 0, ControlAction::Reload, -1},
        {133, 0, ControlAction::SetStatus, 0},
        {136, 0, ControlAction::SetStatus, 3},
        {137, 0, ControlAction::Deactivate, -1},
        {138, 0, ControlAction::Activate, -1},
        {18, 0, ControlAction::Report, -1}, // the process updater's quit is no control of the service
    };
    for (const Case &c : cases) {
        ControlDecision decision = DecideControl(c.control, c.eventType);
        EXPECT_EQ(c.action, decision.action) << c.control << "/" << c.eventType;
        if (c.action == ControlAction::SetStatus) {
            EXPECT_EQ(c.status, decision.status) << c.control;
        }
    }
}
