// The other programs' side of the service: the controller's arguments and
// exit codes, TalLib's view of the service (active, installed, start and
// stop), the user-process updater standing aside, and the support report.
#include "service_scenario.h"

#include "service_control.h"
#include "signals.h"
#include "tallib.h"

class ServiceControl : public ServiceScenario {};

TEST_F(ServiceControl, ControllerFailsWithoutTheService)
{
    for (const char *argument : {"start", "stop", "18", "131", ""})
        EXPECT_EQ(ERROR_SERVICE_DOES_NOT_EXIST, Control(argument)) << "argument \"" << argument << "\"";
}

TEST_F(ServiceControl, ControllerTakesStartAndStopInAnyCaseAndOtherwiseACode)
{
    ASSERT_TRUE(InstallService());
    EXPECT_NE(0, Control("stop")) << "stopping a stopped service";
    EXPECT_EQ(0, Control("START"));
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
    EXPECT_NE(0, Control("start")) << "starting a running service";

    EXPECT_EQ(0, Control("131"));
    EXPECT_EQ(0, Control("  +131 and the rest")) << "read as a number up to the first non-digit";
    EXPECT_NE(0, Control("")) << "no digits: code 0";
    EXPECT_NE(0, Control("start now")) << "the whole text is one argument: code 0";
    EXPECT_NE(0, Control("18")) << "not a control of the service";
    EXPECT_NE(0, Control("4294967427")) << "an overlong number wrapped round to 131";
    EXPECT_NE(0, Control("-4294967165")) << "an overlong number wrapped round to 131";
    EXPECT_EQ(ServiceState(), (DWORD)SERVICE_RUNNING);

    // Unquoted program name too: the argument starts after the first blank.
    EXPECT_EQ(0, RunProgram(ExeFolder() + "TalUpControl.exe Stop"));
    EXPECT_TRUE(WaitForState(SERVICE_STOPPED));
}

TEST_F(ServiceControl, ActivityFollowsTheServiceStateAndStartAndStopGoThroughTheController)
{
    EXPECT_EQ(0, IsRunningService());
    EXPECT_EQ(0, GetActive());

    ASSERT_TRUE(InstallService());
    EXPECT_EQ(1, IsRunningService()) << "installed counts, running or not";
    EXPECT_EQ(0, GetActive());

    EXPECT_NE(0, StartUpdater());
    ASSERT_TRUE(WaitForState(SERVICE_RUNNING));
    EXPECT_EQ(1, IsRunningService());
    EXPECT_EQ(1, GetActive());

    EXPECT_NE(0, StopUpdater());
    ASSERT_TRUE(WaitForState(SERVICE_STOPPED));
    EXPECT_EQ(0, GetActive());
    EXPECT_EQ(1, CountInLog("Updater: Service stopped."));
    EXPECT_EQ(0, service::CountRequests("/")) << "no account: no pass";
}

TEST_F(ServiceControl, AStartThatFailsIsLoggedWithTheControllersAnswer)
{
    // The service's program is missing: the controller cannot start it.
    ASSERT_TRUE(InstallService("NoSuchProgram.exe"));
    EXPECT_NE(0, StartUpdater()) << "the controller itself ran";
    // The controller's exit code is the Windows error, which the record names.
    EXPECT_EQ(1, CountInLog("The updater service could not be started: the service controller ended with error "))
        << Log();
    EXPECT_EQ(0, CountInLog("ended with error 1 (")) << "the cause, not a bare failure: " << Log();
}

TEST_F(ServiceControl, ProcessUpdaterRefusesToStartBesideTheService)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    ASSERT_TRUE(InstallService()); // installed is enough, even stopped
    // Without a display the warning box returns at once.
    EXPECT_EQ(0, RunProgram(Quoted(ExeFolder() + "TalUpPs.exe"), 20000));
    EXPECT_EQ(0, service::CountRequests("/"));
    EXPECT_EQ(0, CountInLog("Updater: Process started."));
}

TEST_F(ServiceControl, ProcessUpdaterQuitsOnItsNextTickOnceTheServiceIsInstalled)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    StartProcessUpdater();
    int checks = service::CountRequests("/");
    HWND window = FindWindowExA(NULL, NULL, kUpdaterClass, NULL);
    ASSERT_NE((HWND)NULL, window);

    ASSERT_TRUE(InstallService());
    SendMessageA(window, WM_TIMER, 0, 0);
    EXPECT_TRUE(WaitForExit(10000)) << "TalUpPs still runs beside the service";
    EXPECT_EQ(checks, service::CountRequests("/")) << "the tick ran a pass";
}

TEST_F(ServiceControl, SupportReportSaysRunningAsService)
{
    ASSERT_TRUE(InstallService());
    std::string report = dataFolder + "report.txt";
    EXPECT_EQ(1, MergeFiles(configFile.c_str(), logFile.c_str(), report.c_str()));
    std::string text = ReadWholeFile(report);
    DeleteFileA(report.c_str());
    EXPECT_NE(std::string::npos, text.find("\r\nRunning as: Service\r\n")) << text;
}
