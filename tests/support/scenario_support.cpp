// Shared set-up of the updater scenarios.
#include "scenario_support.h"

#include "service_control.h"
#include "config_keys.h"
#include "signals.h"
#include "tallib.h"

#include <stdio.h>

const char kDemoUser[] = "demo";
const char kDemoPassword[] = "demo-pass";
const char kHomeHost[] = "home.talvex-demo.test";
const char kOfficeHost[] = "office.talvex-demo.test";

void UpdaterScenario::SetUp()
{
    DataFolderTest::SetUp();
    service::Reset();
    trayPipe = std::make_unique<PipeListener>(OwnSessionPipe(kTrayPipeName).c_str());
    configPipe = std::make_unique<PipeListener>(OwnSessionPipe(kConfigPipeName).c_str());
}

void UpdaterScenario::TearDown()
{
    if (updater.hProcess) {
        if (WaitForSingleObject(updater.hProcess, 0) == WAIT_TIMEOUT) {
            HWND window = FindWindowExA(NULL, NULL, kUpdaterClass, NULL);
            if (window)
                SendMessageTimeoutA(window, WM_USER, kCmdQuitProcess, 0, SMTO_BLOCK, 30000, NULL);
            if (WaitForSingleObject(updater.hProcess, 10000) != WAIT_OBJECT_0)
                TerminateProcess(updater.hProcess, 1);
        }
        CloseHandle(updater.hThread);
        CloseHandle(updater.hProcess);
    }
    trayPipe.reset();
    configPipe.reset();
    DataFolderTest::TearDown();
}

void UpdaterScenario::WriteAccount(const std::string &user, const std::string &password,
                                   const std::vector<std::string> &hosts)
{
    char scrambled[256] = "";
    SimpleEncrypt(password.c_str(), 127, kPasswordKey, kPasswordKeyLength, scrambled);
    SetConfig("App", "Username", user.c_str());
    SetConfig("App", "Password", scrambled);
    Host_Clean();
    for (size_t i = 0; i < hosts.size(); ++i)
        Host_SetText((int)i + 1, hosts[i].c_str());
    Host_SetCount((int)hosts.size());
}

std::string UpdaterScenario::Config(const char *section, const char *key)
{
    char value[256];
    Profile_ReadText(configFile.c_str(), section, key, "", value, sizeof value);
    return value;
}

void UpdaterScenario::SetConfig(const char *section, const char *key, const char *value)
{
    Profile_WriteText(configFile.c_str(), section, key, value);
}

void UpdaterScenario::StartProcessUpdater()
{
    std::string line = Quoted(ExeFolder() + "TalUpPs.exe");
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &updater));
    // "Process started." is logged right after the first pass.
    DWORD start = GetTickCount();
    while (Log().find("Updater: Process started.") == std::string::npos) {
        ASSERT_EQ(WAIT_TIMEOUT, WaitForSingleObject(updater.hProcess, 0)) << "TalUpPs ended early:\n" << Log();
        ASSERT_LT(GetTickCount() - start, 60000u) << "no first pass:\n" << Log();
        Sleep(50);
    }
}

void UpdaterScenario::Command(int code) { TellServer(code); }

bool UpdaterScenario::WaitForExit(DWORD timeoutMs)
{
    return updater.hProcess && WaitForSingleObject(updater.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

int UpdaterScenario::CountInLog(const std::string &text)
{
    return CountOccurrences(Log(), text);
}
