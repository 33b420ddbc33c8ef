// The utility's settings code run in the test's process, against pages the
// test makes with the controls the real pages have: the defaults, what a
// save writes from the host list and the option boxes, a selection longer
// than any fixed buffer, and the shortcut an option sets off, made once.
#include "settings.h"

#include "config_ids.h"

#include "test_env.h"

#include <gtest/gtest.h>
#include <commctrl.h>
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
        INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        g_app = ConfigApp();
        lstrcpynA(g_app.configPath, configFile.c_str(), sizeof g_app.configPath);
        DeleteFileA(kTrayShortcut.c_str());
        DeleteFileA((dataFolder + "started.txt").c_str());
    }
    void TearDown() override
    {
        for (HWND page : g_app.pages) {
            if (page)
                DestroyWindow(page);
        }
        free(g_app.selectedHosts);
        g_app = ConfigApp();
        DeleteFileA(kTrayShortcut.c_str());
        DeleteFileA((dataFolder + "started.txt").c_str());
        DataFolderTest::TearDown();
    }

    // The Home page's host list with rows (name, checked).
    void MakeHostList(const std::vector<std::pair<std::string, bool>> &rows)
    {
        HWND page = CreateWindowA("STATIC", "home", WS_POPUP, 0, 0, 400, 300, NULL, NULL, NULL, NULL);
        HWND list = CreateWindowA(WC_LISTVIEWA, "", WS_CHILD | LVS_REPORT, 0, 0, 400, 300, page,
                                  (HMENU)IDC_HOST_LIST, NULL, NULL);
        ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES);
        LVCOLUMNA column = {};
        column.mask = LVCF_WIDTH;
        column.cx = 40;
        ListView_InsertColumn(list, 0, &column);
        column.cx = 300;
        ListView_InsertColumn(list, 1, &column);
        for (size_t i = 0; i < rows.size(); ++i) {
            LVITEMA item = {};
            item.mask = LVIF_TEXT;
            item.iItem = (int)i;
            item.pszText = (char *)"";
            ListView_InsertItem(list, &item);
            ListView_SetItemText(list, (int)i, 1, (char *)rows[i].first.c_str());
            ListView_SetCheckState(list, (int)i, rows[i].second);
        }
        g_app.pages[kPageHome] = page;
    }
    // The Advanced page's five boxes, checked as given (1036 to 1040).
    void MakeOptionBoxes(const std::vector<bool> &checked)
    {
        HWND page = CreateWindowA("STATIC", "advanced", WS_POPUP, 0, 0, 400, 300, NULL, NULL, NULL, NULL);
        for (int i = 0; i < 5; ++i) {
            HWND box = CreateWindowA("BUTTON", "", WS_CHILD | BS_AUTOCHECKBOX, 0, 20 * i, 200, 20, page,
                                     (HMENU)(INT_PTR)(IDC_OPT_LOAD_ICON + i), NULL, NULL);
            SendMessageA(box, BM_SETCHECK, checked[i] ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        g_app.pages[kPageAdvanced] = page;
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
    ASSERT_NE(nullptr, g_app.selectedHosts);
    EXPECT_STREQ("", g_app.selectedHosts);

    lstrcpyA(g_app.userName, "alice");
    lstrcpyA(g_app.password, "s3cret pw");
    SaveSettings(g_app);
    std::string stored = Value("App", "Password");
    EXPECT_EQ(std::string::npos, stored.find("s3cret")) << "never stored in plain text";
    EXPECT_EQ(18u, stored.size()) << stored;
    g_app.password[0] = '\0';
    LoadSettings(g_app);
    EXPECT_STREQ("alice", g_app.userName);
    EXPECT_STREQ("s3cret pw", g_app.password);

    g_app.password[0] = '\0';
    SaveSettings(g_app);
    EXPECT_EQ("", Value("App", "Password")) << "an empty password is an empty value";
}

TEST_F(Settings, SavingWritesTheCheckedRowsInOrderWithoutATrailingComma)
{
    MakeOptionBoxes({false, true, true, true, true});
    MakeHostList({{"alpha.example.test", true}, {"beta.example.test", false}, {"gamma.example.test", true}});
    CommitCounter commits(configFile);
    SaveSettings(g_app);
    EXPECT_EQ(1, commits.Count()) << "a save writes the file once";
    EXPECT_EQ("2", Value("Hosts", "Count"));
    EXPECT_EQ("alpha.example.test", Value("Hosts", "Host1"));
    EXPECT_EQ("gamma.example.test", Value("Hosts", "Host2"));
    EXPECT_EQ("(absent)", Value("Hosts", "Host3"));
    EXPECT_STREQ("alpha.example.test,gamma.example.test", g_app.selectedHosts);
    for (const char *key : {"LoadIcon", "StartWithOS", "Sync", "Notify", "Upgrade"})
        EXPECT_NE("(absent)", Value("App", key)) << key;

    DestroyWindow(g_app.pages[kPageHome]);
    MakeHostList({{"alpha.example.test", false}, {"beta.example.test", false}});
    SaveSettings(g_app);
    EXPECT_EQ("0", Value("Hosts", "Count"));
    EXPECT_EQ("(absent)", Value("Hosts", "Host1")) << "the old table is emptied";
    EXPECT_STREQ("", g_app.selectedHosts);
}

TEST_F(Settings, ASelectionLongerThanAnyFixedBufferIsSavedAndReadBackWhole)
{
    MakeOptionBoxes({false, true, true, true, true});
    std::vector<std::pair<std::string, bool>> rows;
    std::string expected;
    for (int i = 0; i < 40; ++i) {
        std::string name = "host-" + std::to_string(i) + std::string(50, 'x') + ".example.test";
        rows.push_back({name, true});
        expected += (i ? "," : "") + name;
    }
    ASSERT_GT(expected.size(), 2048u);
    MakeHostList(rows);
    SaveSettings(g_app);
    EXPECT_EQ(expected, g_app.selectedHosts);
    EXPECT_EQ("40", Value("Hosts", "Count"));

    free(g_app.selectedHosts);
    g_app.selectedHosts = NULL;
    LoadSettings(g_app);
    ASSERT_NE(nullptr, g_app.selectedHosts);
    EXPECT_EQ(expected, g_app.selectedHosts);
}

TEST_F(Settings, TurningTheIconOnMakesItsShortcutOnceAndMissingBoxesKeepTheOptions)
{
    WriteWholeFile(configFile, "[App]\r\nLoadIcon=0\r\nStartWithOS=0\r\nSync=0\r\nNotify=1\r\nUpgrade=1\r\n");
    LoadSettings(g_app);
    MakeHostList({});
    MakeOptionBoxes({true, false, false, true, false});
    SaveSettings(g_app); // Apply
    EXPECT_TRUE(FileExists(kTrayShortcut));
    EXPECT_EQ(1, TrayStarts()) << "the icon is started";
    EXPECT_EQ("1", Value("App", "LoadIcon"));
    EXPECT_EQ("0", Value("App", "Upgrade"));
    DeleteFileA(kTrayShortcut.c_str());
    SaveSettings(g_app); // Apply again: no change, no shortcut
    EXPECT_FALSE(FileExists(kTrayShortcut));
    EXPECT_EQ(1, TrayStarts());

    // A page without its boxes (it failed to be made) keeps every option.
    DestroyWindow(g_app.pages[kPageAdvanced]);
    g_app.pages[kPageAdvanced] = CreateWindowA("STATIC", "empty", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    SaveSettings(g_app);
    EXPECT_EQ("1", Value("App", "LoadIcon"));
    EXPECT_EQ("0", Value("App", "StartWithOS"));
    EXPECT_EQ("1", Value("App", "Notify"));
    EXPECT_EQ(1, TrayStarts());
}

} // namespace
