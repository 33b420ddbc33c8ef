// Shared set-up of the service scenarios.
#include "service_scenario.h"

#include "service_control.h"
#include "signals.h"

#include <algorithm>

void ServiceScenario::SetUp()
{
    UpdaterScenario::SetUp();
    RemoveService(); // left behind by a test that crashed
}

void ServiceScenario::TearDown()
{
    ReleasePass();
    RemoveService();
    UpdaterScenario::TearDown();
}

bool ServiceScenario::InstallService(const char *program)
{
    std::string binary = Quoted(ExeFolder() + program);
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? CreateServiceA(manager, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                                 SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                                 SERVICE_ERROR_NORMAL, binary.c_str(), NULL, NULL, NULL, NULL, NULL)
                                : NULL;
    DWORD error = GetLastError();
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    EXPECT_NE((SC_HANDLE)NULL, service) << "CreateService failed, error " << error;
    return service != NULL;
}

void ServiceScenario::RemoveService()
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = manager ? OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS) : NULL;
    if (service) {
        SERVICE_STATUS status = {};
        if (QueryServiceStatus(service, &status) && status.dwCurrentState != SERVICE_STOPPED) {
            if (status.dwCurrentState != SERVICE_STOP_PENDING)
                ControlService(service, SERVICE_CONTROL_STOP, &status);
            EXPECT_TRUE(WaitForState(SERVICE_STOPPED)) << "the service did not stop before its removal";
        }
        EXPECT_TRUE(DeleteService(service)) << "DeleteService failed, error " << GetLastError();
        CloseServiceHandle(service);
    }
    if (manager)
        CloseServiceHandle(manager);
}

SERVICE_STATUS ServiceScenario::QueryStatus()
{
    SERVICE_STATUS status = {};
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, kServiceName, SERVICE_QUERY_STATUS) : NULL;
    if (!service || !QueryServiceStatus(service, &status))
        status.dwCurrentState = 0;
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return status;
}

DWORD ServiceScenario::ServiceState() { return QueryStatus().dwCurrentState; }

bool ServiceScenario::WaitForState(DWORD state, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (ServiceState() != state) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

int ServiceScenario::Control(const std::string &argument)
{
    return RunProgram(Quoted(ExeFolder() + "TalUpControl.exe") + " " + argument, 30000);
}

void ServiceScenario::StartService()
{
    ASSERT_TRUE(InstallService());
    ASSERT_EQ(0, Control("start"));
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
    DWORD start = GetTickCount();
    while (CountInLog("Updater: Service started.") == 0) {
        ASSERT_LT(GetTickCount() - start, 20000u) << "the service never logged its start:\n" << Log();
        Sleep(50);
    }
}

size_t ServiceScenario::PassesDone()
{
    size_t passes = 0;
    for (const std::string &message : configPipe->Messages())
        passes += message == kConfigMsgPassDone ? 1 : 0;
    return passes;
}

bool ServiceScenario::WaitForPasses(size_t passes, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (PassesDone() < passes) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

void ServiceScenario::HoldPassAtProxyProbe()
{
    service::Script("checkip8245", "", "hang");
    holding_ = true;
}

bool ServiceScenario::WaitUntilPassIsHeld(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (service::Requests("/").find("\"port\": 8245") == std::string::npos) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
    return true;
}

void ServiceScenario::ReleasePass()
{
    if (!holding_)
        return;
    holding_ = false;
    // Closing the listener cuts the held connection; it opens again at once.
    service::Listen(8245, false);
    service::Listen(8245, true);
}

bool ServiceScenario::SettleWithAddressCheck(const std::string &address, DWORD timeoutMs)
{
    service::SetAddress(address);
    if (Control("129") != 0)
        return false;
    std::string told = "D" + address;
    DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::string> messages = trayPipe->Messages();
        if (std::find(messages.begin(), messages.end(), told) != messages.end())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(50);
    }
}
