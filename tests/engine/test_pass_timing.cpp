// When the updaters run their next pass, and what the service does for a
// power event (which Wine never delivers to a service): pure decisions.
#include <gtest/gtest.h>

#include "control_decision.h"
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

TEST(ServiceControls, AResumeFromSleepAsksForAPassAndOtherPowerEventsForNothing)
{
    const DWORD cases[][3] = {
        {SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMEAUTOMATIC, (DWORD)ControlAction::PassAfterResume},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMRESUMESUSPEND, (DWORD)ControlAction::PassAfterResume},
        {SERVICE_CONTROL_POWEREVENT, PBT_APMSUSPEND, (DWORD)ControlAction::Report},
        {130, PBT_APMRESUMEAUTOMATIC, (DWORD)ControlAction::ForcedPass}, // read for power events only
    };
    for (const auto &c : cases)
        EXPECT_EQ(c[2], (DWORD)DecideControl(c[0], c[1]).action) << c[0] << "/" << c[1];
}
