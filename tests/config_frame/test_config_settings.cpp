// The utility's settings code run in the test's process, with the choices
// the pages hand up: the defaults, what a save writes from the chosen hosts
// and options, a selection longer than any fixed buffer, and the shortcut
// an option sets off, made once.
#include "settings.h"

#include "tallib.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <string>
#include <vector>

// The state the settings are read into and saved from.
ConfigApp g_app;

namespace {

std::string StartupShortcut(const char *name)
{
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_COMMON_STARTUP, NULL, SHGFP_TYPE_CURRENT, folder);
    return std::string(folder) + "\\" + name;
}
const std::string kTrayShortcut = StartupShortcut("Talvex Updater Tray Icon.lnk");

class Settings : public DataFolderTest {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        g_app = ConfigApp();
        lstrcpynA(g_app.configPath, configFile.c_str(), sizeof g_app.configPath);
        DeleteFileA(kTrayShortcut.c_str());
        DeleteFileA((dataFolder + "started.txt").c_str());
    }
    void TearDown() override
    {
        g_app = ConfigApp();
        DeleteFileA(kTrayShortcut.c_str());
        DeleteFileA((dataFolder + "started.txt").c_str());
        DataFolderTest::TearDown();
    }

    // Saves with the hosts and the options (load icon, start with Windows,
    // sync, notify, upgrade) as the pages hand them up.
    DWORD Save(const std::vector<std::string> &hosts, const std::vector<int> &options)
    {
        ConfigOptions chosen;
        int *values[] = {&chosen.loadIcon, &chosen.startWithOS, &chosen.sync, &chosen.notify, &chosen.upgrade};
        for (size_t i = 0; i < options.size(); ++i)
            *values[i] = options[i];
        return SaveSettings(g_app, {&hosts, &chosen});
    }
    std::string Value(const char *section, const char *key)
    {
        char value[4096] = "";
        GetPrivateProfileStringA(section, key, "(absent)", value, sizeof value, configFile.c_str());
        return value;
    }
    // How many times the (stub) icon was started, counted once every stub
    // the shell started has ended.
    int TrayStarts()
    {
        EXPECT_TRUE(WaitForProgramsToEnd(ExeFolder(), {"TalTray.exe"})) << "the icon's stand-in never ended";
        return CountOccurrences(ReadWholeFile(dataFolder + "started.txt"), "TalTray.exe|");
    }
};

TEST_F(Settings, AFileWithoutTheSectionGivesTheDefaultsAndThePasswordRoundTripsScrambled)
{
    WriteWholeFile(configFile, "");
    LoadSettings(g_app);
    EXPECT_EQ(0, g_app.loadIcon);
    EXPECT_EQ(1, g_app.startWithOS);
    EXPECT_EQ(1, g_app.sync);
    EXPECT_EQ(1, g_app.notify);
    EXPECT_EQ(1, g_app.upgrade);
    EXPECT_EQ(kStatusUnconfigured, g_app.status);
    EXPECT_STREQ("Never", g_app.lastUpdate);
    EXPECT_STREQ("", g_app.userName);
    EXPECT_STREQ("", g_app.password);
    EXPECT_EQ("", g_app.selectedHosts);

    lstrcpyA(g_app.userName, "alice");
    lstrcpyA(g_app.password, "s3cret pw");
    SaveSettings(g_app, {}); // no page: the selection and the options as they are
    std::string stored = Value("App", "Password");
    EXPECT_EQ(std::string::npos, stored.find("s3cret")) << "never stored in plain text";
    EXPECT_EQ(18u, stored.size()) << stored;
    g_app.password[0] = '\0';
    LoadSettings(g_app);
    EXPECT_STREQ("alice", g_app.userName);
    EXPECT_STREQ("s3cret pw", g_app.password);

    g_app.password[0] = '\0';
    SaveSettings(g_app, {});
    EXPECT_EQ("", Value("App", "Password")) << "an empty password is an empty value";
}

TEST_F(Settings, SavingWritesTheChosenHostsInOrderWithoutATrailingComma)
{
    CommitCounter commits(configFile);
    Save({"alpha.example.test", "gamma.example.test"}, {0, 1, 1, 1, 1});
    EXPECT_EQ(1, commits.Count()) << "a save writes the file once";
    EXPECT_EQ("2", Value("Hosts", "Count"));
    EXPECT_EQ("alpha.example.test", Value("Hosts", "Host1"));
    EXPECT_EQ("gamma.example.test", Value("Hosts", "Host2"));
    EXPECT_EQ("(absent)", Value("Hosts", "Host3"));
    EXPECT_EQ("alpha.example.test,gamma.example.test", g_app.selectedHosts);
    for (const char *key : {"LoadIcon", "StartWithOS", "Sync", "Notify", "Upgrade"})
        EXPECT_NE("(absent)", Value("App", key)) << key;

    Save({}, {0, 1, 1, 1, 1});
    EXPECT_EQ("0", Value("Hosts", "Count"));
    EXPECT_EQ("(absent)", Value("Hosts", "Host1")) << "the old table is emptied";
    EXPECT_EQ("", g_app.selectedHosts);

    // Without the Home page (it could not be made) the table stays.
    Save({"alpha.example.test"}, {0, 1, 1, 1, 1});
    SaveSettings(g_app, {});
    EXPECT_EQ("1", Value("Hosts", "Count"));
    EXPECT_EQ("alpha.example.test", g_app.selectedHosts);
}

TEST_F(Settings, ASelectionLongerThanAnyFixedBufferIsSavedAndReadBackWhole)
{
    std::vector<std::string> hosts;
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string name = "host-" + std::to_string(i) + std::string(50, 'x') + ".example.test";
        hosts.push_back(name);
        expected += (i ? "," : "") + name;
    }
    ASSERT_GT(expected.size(), 2048u);
    Save(hosts, {0, 1, 1, 1, 1});
    EXPECT_EQ(expected, g_app.selectedHosts);
    EXPECT_EQ("40", Value("Hosts", "Count"));

    g_app.selectedHosts.clear();
    LoadSettings(g_app);
    EXPECT_EQ(expected, g_app.selectedHosts);
}

TEST_F(Settings, TurningTheIconOnMakesItsShortcutOnceAndAMissingPageKeepsTheOptions)
{
    WriteWholeFile(configFile, "[App]\r\nLoadIcon=0\r\nStartWithOS=0\r\nSync=0\r\nNotify=1\r\nUpgrade=1\r\n");
    LoadSettings(g_app);
    Save({}, {1, 0, 0, 1, 0}); // Apply
    EXPECT_TRUE(FileExists(kTrayShortcut));
    EXPECT_EQ(1, TrayStarts()) << "the icon is started";
    EXPECT_EQ("1", Value("App", "LoadIcon"));
    EXPECT_EQ("0", Value("App", "Upgrade"));
    DeleteFileA(kTrayShortcut.c_str());
    Save({}, {1, 0, 0, 1, 0}); // Apply again: no change, no shortcut
    EXPECT_FALSE(FileExists(kTrayShortcut));
    EXPECT_EQ(1, TrayStarts());

    // Without the Advanced page (it could not be made) every option stays.
    std::vector<std::string> none;
    SaveSettings(g_app, {&none, NULL});
    EXPECT_EQ("1", Value("App", "LoadIcon"));
    EXPECT_EQ("0", Value("App", "StartWithOS"));
    EXPECT_EQ("1", Value("App", "Notify"));
    EXPECT_EQ(1, TrayStarts());
}

// A critical status is lifted by the save that fixes its cause, in the
// same write; a save that changes neither the account nor the hosts
// leaves the stop in place, and a status that is not critical is kept.
TEST_F(Settings, ASaveThatChangesTheAccountOrTheHostsLiftsACriticalStatusInTheSameWrite)
{
    const struct {
        const char *story;
        const char *status;
        const char *userName, *password;
        std::vector<std::string> hosts;
        const char *statusAfter;
        int commits; // a save that changes nothing writes nothing
    } cases[] = {
        {"a corrected password", "2", "alice", "right-pw", {"a.example.test"}, "0", 1},
        {"another account", "2", "bob", "old-pw", {"a.example.test"}, "0", 1},
        {"another host list", "2", "alice", "old-pw", {"a.example.test", "b.example.test"}, "0", 1},
        {"nothing changed", "2", "alice", "old-pw", {"a.example.test"}, "2", 0},
        {"a warning stays a warning", "1", "alice", "right-pw", {"a.example.test"}, "1", 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.story);
        lstrcpyA(g_app.userName, "alice");
        lstrcpyA(g_app.password, "old-pw");
        Save({"a.example.test"}, {0, 1, 1, 1, 1});
        Profile_WriteText(configFile.c_str(), "App", "Status", c.status);
        LoadSettings(g_app);

        lstrcpyA(g_app.userName, c.userName);
        lstrcpyA(g_app.password, c.password);
        CommitCounter commits(configFile);
        EXPECT_EQ((DWORD)ERROR_SUCCESS, Save(c.hosts, {0, 1, 1, 1, 1}));
        EXPECT_EQ(c.commits, commits.Count());
        EXPECT_EQ(c.statusAfter, Value("App", "Status"));
    }
}

} // namespace
