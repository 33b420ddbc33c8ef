// The updater service while the network stays silent: every control is
// answered at once, and a stop is never lost behind a pass.
#include "service_scenario.h"

#include "service_control.h"

namespace {

// The controller's request must come back long before Windows gives up on
// a control handler (about 30 s).
const DWORD kPromptMs = 5000;

} // namespace

class ServiceFaults : public ServiceScenario {};

TEST_F(ServiceFaults, AStopSentDuringAForcedPassAgainstASilentServerIsAnsweredAtOnce)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost, kOfficeHost}); // not signed in: no timed pass
    StartService();
    service::Script("checkip", "", "hang", -1);

    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("130")); }), kPromptMs) << "the handler waited for the forced pass";
    for (DWORD start = GetTickCount(); service::CountRequests("/") == 0 && GetTickCount() - start < kPromptMs;)
        Sleep(100);
    EXPECT_EQ(1, service::CountRequests("/")) << "the forced pass did not start promptly";

    EXPECT_LT(Timed([&] { EXPECT_EQ(0, Control("stop")); }), kPromptMs) << "the stop waited behind the pass";
    EXPECT_EQ((DWORD)SERVICE_STOP_PENDING, ServiceState());
    // The pass gives up within the exchange's time-outs, then the service stops.
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED, 90000)) << Log();
    EXPECT_EQ(0, service::CountRequests("/nic/update"));
    EXPECT_EQ(1, CountInLog("Updater: Service stopped."));
}
