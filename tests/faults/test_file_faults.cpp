// TalUpPs with damaged or missing files: a configuration file of binary
// garbage with an absurd host count, a log locked by another program, the
// data folder removed. The updater stays up, and the next normal pass works.
#include "scenario_support.h"

#include "service_control.h"
#include "signals.h"

#include <string>

namespace {

// Bytes no program writes: zeros, controls, brackets, "=" and high bytes,
// with line breaks here and there.
std::string Garbage(size_t size, unsigned seed)
{
    std::string bytes;
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes += (char)(seed >> 16);
        if (i % 61 == 60)
            bytes += "\r\n[=]\r\n";
    }
    return bytes;
}

} // namespace

class FileFaults : public UpdaterScenario {
protected:
    // Starts TalUpPs and waits for the end of its first pass ("C").
    void StartAndWaitForFirstPass()
    {
        std::string line = Quoted(ExeFolder() + "TalUpPs.exe");
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &updater));
        ASSERT_TRUE(configPipe->WaitFor(1, 60000)) << "no first pass within a minute";
    }
    bool Alive() { return updater.hProcess && WaitForSingleObject(updater.hProcess, 0) == WAIT_TIMEOUT; }
};

TEST_F(FileFaults, AGarbageConfigurationWithAnAbsurdHostCountEndsItsPass)
{
    // An account and a host count of two thousand million, amid garbage.
    WriteAccount(kDemoUser, kDemoPassword, {});
    SetConfig("Hosts", "Count", "2147483647");
    std::string sections = ReadWholeFile(configFile);
    WriteWholeFile(configFile, Garbage(3000, 1) + "\r\n" + sections + "\r\n" + Garbage(3000, 2));
    StartAndWaitForFirstPass();
    EXPECT_TRUE(Alive());
    EXPECT_EQ(0, service::CountRequests("/nic/update"));

    // The user saves a sound configuration: the next pass updates.
    WriteWholeFile(configFile, "");
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    Command(kCmdReloadAndPass);
    EXPECT_TRUE(Alive());
    EXPECT_EQ("good", Config(kHomeHost, "Status"));
    EXPECT_EQ(1, service::CountRequests("/nic/update"));
}

TEST_F(FileFaults, ALockedLogLosesItsRecordsButNotTheUpdate)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    WriteWholeFile(logFile, "0\t12-06-2026 19:05:07\tAn earlier record.");
    // Another program holds the log open and shares it with nobody.
    HANDLE lock = CreateFileA(logFile.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    StartAndWaitForFirstPass();
    EXPECT_TRUE(Alive());
    EXPECT_EQ("good", Config(kHomeHost, "Status")) << "the update was recorded in the configuration";
    CloseHandle(lock);
    EXPECT_EQ("0\t12-06-2026 19:05:07\tAn earlier record.", Log());

    // Free again: the next pass's records arrive.
    service::SetAddress("203.0.113.8");
    Command(kCmdReloadAndPass);
    EXPECT_TRUE(Alive());
    EXPECT_EQ("203.0.113.8", Config(kHomeHost, "IP"));
    EXPECT_EQ(1, CountInLog("IP Changed from [203.0.113.7] to [203.0.113.8]")) << Log();
}

TEST_F(FileFaults, TheDataFolderRemovedWhileTheUpdaterRunsComesBackWithTheNextSave)
{
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    StartAndWaitForFirstPass();
    ASSERT_EQ("good", Config(kHomeHost, "Status"));

    // Everything removed, folder and all: the pass finds no account.
    std::string folder = dataFolder.substr(0, dataFolder.size() - 1);
    DeleteFileA(configFile.c_str());
    DeleteFileA((configFile + ".journal").c_str());
    DeleteFileA(logFile.c_str());
    DeleteFileA((dataFolder + "talvex.lock").c_str());
    ASSERT_TRUE(RemoveDirectoryA(folder.c_str()));
    service::SetAddress("203.0.113.8");
    Command(kCmdReloadAndPass);
    EXPECT_TRUE(Alive());
    EXPECT_EQ(1, service::CountRequests("/nic/update"));

    // Reinstalled and saved again: the next pass updates.
    ResetDataFolder();
    WriteAccount(kDemoUser, kDemoPassword, {kHomeHost});
    Command(kCmdReloadAndPass);
    EXPECT_TRUE(Alive());
    EXPECT_EQ("203.0.113.8", Config(kHomeHost, "IP"));
    EXPECT_EQ(2, service::CountRequests("/nic/update"));
}
