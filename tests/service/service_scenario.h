// What the service scenarios share: the updater service registered with
// Wine's service control manager as the installer registers it (demand
// start, own process, the real TalUpSvc.exe), always deleted again after
// the test, and the controller TalUpControl run as the other programs run it.
#pragma once

#include "scenario_support.h"

#include <winsvc.h>

class ServiceScenario : public UpdaterScenario {
protected:
    void SetUp() override;
    void TearDown() override;

    // Registers "Talvex Updater" on demand start, for the program of the
    // test folder named (the real TalUpSvc.exe unless told otherwise).
    bool InstallService(const char *program = "TalUpSvc.exe");
    // Stops the service if it runs (bounded) and deletes it.
    void RemoveService();
    // The service's current state; 0 when it is not installed.
    DWORD ServiceState();
    SERVICE_STATUS QueryStatus();
    // Polls the state until it is `state`, at most timeoutMs.
    bool WaitForState(DWORD state, DWORD timeoutMs = 30000);
    // Runs TalUpControl with the argument; its exit code, -1 when it hung.
    int Control(const std::string &argument);
    // Installs the service, starts it through the controller and waits
    // until it reports running and has logged its start.
    void StartService();
    // Waits until the configuration pipe heard the end of `passes` passes.
    bool WaitForPasses(size_t passes, DWORD timeoutMs = 30000);
    // How many passes ended so far.
    size_t PassesDone();
    // Holds the next pass at its proxy probe: the address check on the
    // alternate port gets no answer until ReleasePass(). The pass then
    // goes on with the standard port's address and sends its update.
    void HoldPassAtProxyProbe();
    bool WaitUntilPassIsHeld(DWORD timeoutMs = 20000);
    void ReleasePass();
    // Has the local service report `address`, sends command 129 and waits
    // until its address check has told the tray that address. The service
    // thread makes that check only after every wake-up sent before it has
    // run its pass or been dropped: the barrier before asserting that a
    // wake-up ran no pass.
    bool SettleWithAddressCheck(const std::string &address, DWORD timeoutMs = 20000);

private:
    bool holding_ = false;
};

// Milliseconds that `run` took.
template <typename F> DWORD Timed(F run)
{
    DWORD start = GetTickCount();
    run();
    return GetTickCount() - start;
}
