// No program writes through a link planted in place of the data folder,
// and the data folder's rights (common/shared_objects.h) give users no
// right to delete, rename or re-permission the folders or the files the
// installer made. Under Wine a Unix symbolic link stands for a junction:
// Wine reports it as a reparse point (GetFileAttributes gives 0x410), the
// way Windows reports a junction. Wine keeps no owner but the running
// user's, so a folder owned by another account cannot be made here.
#include "test_env.h"

#include "shared_objects.h"
#include "tallib.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

// The Unix path Wine maps a Windows path to.
std::string UnixPath(const std::string &path)
{
    typedef char *(CDECL * ToUnix)(const WCHAR *);
    ToUnix toUnix =
        (ToUnix)(void (*)(void))GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char *unixPath = toUnix ? toUnix(wide) : NULL;
    std::string result = unixPath ? unixPath : "";
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Runs a Unix command (Wine starts Unix programs too, but gives no exit
// code for them: the callers check what the command did).
void Unix(const std::string &command) { RunProgram(command, 5000); }

std::string WithoutBackslash(std::string folder)
{
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

// The data folder, or the vendor folder above it, replaced by a link to
// a folder elsewhere that holds an Updater folder of its own.
class PlantedLink : public DataFolderTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        DataFolderTest::SetUp();
        std::string data = WithoutBackslash(dataFolder);
        replaced = GetParam() ? data.substr(0, data.rfind('\\')) : data;
        link = UnixPath(replaced);
        target = replaced + ".target";
        aside = replaced + ".real";
        ASSERT_FALSE(link.empty());
        ASSERT_TRUE(MoveFileA(replaced.c_str(), aside.c_str()));
        ASSERT_TRUE(CreateDirectoryA(target.c_str(), NULL));
        if (GetParam()) {
            ASSERT_TRUE(CreateDirectoryA((target + "\\Updater").c_str(), NULL));
        }
        Unix("/bin/ln -s " + UnixPath(target) + " " + link);
        ASSERT_NE(0u, GetFileAttributesA(replaced.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    void TearDown() override
    {
        Unix("/bin/rm -f " + link);
        Unix("/bin/rm -rf " + UnixPath(target));
        EXPECT_FALSE(FileExists(replaced)) << "the link is gone";
        EXPECT_TRUE(MoveFileA(aside.c_str(), replaced.c_str()));
        DataFolderTest::TearDown();
    }
    std::string TargetData() const { return GetParam() ? target + "\\Updater\\" : target + "\\"; }

    std::string replaced, target, aside, link;
};

TEST_P(PlantedLink, NeitherTheSettingsNorTheLogAreWrittenThroughIt)
{
    EXPECT_EQ(0, Profile_WriteText(configFile.c_str(), "App", "Username", "someone"));
    LogToFile("Updater: Process started.", 1, 0);
    EXPECT_FALSE(FileExists(TargetData() + "config.talvex"));
    EXPECT_FALSE(FileExists(TargetData() + "talvex.log"));
}

INSTANTIATE_TEST_SUITE_P(DataFolder, PlantedLink, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool> &info) {
                             return info.param ? "InPlaceOfTheVendorFolder" : "InPlaceOfTheUpdaterFolder";
                         });

TEST_F(DataFolderTest, TheRealFolderIsWritten)
{
    EXPECT_EQ(1, Profile_WriteText(configFile.c_str(), "App", "Username", "someone"));
    LogToFile("Updater: Process started.", 1, 0);
    EXPECT_TRUE(FileExists(logFile));
}

// The rights set on the data folder, read back from their one source.
TEST(DataFolderRights, UsersMayNeitherDeleteNorRepermissionAndNoCreatorOwnerEntry)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(kDataFolderSecurity, SDDL_REVISION_1,
                                                                     &descriptor, NULL));
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    const DWORD kNeverForUsers = DELETE | WRITE_DAC | WRITE_OWNER | FILE_DELETE_CHILD | GENERIC_ALL;
    bool ownerRights = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE *ace = NULL;
        ASSERT_TRUE(GetAce(dacl, i, (void **)&ace));
        PSID sid = &ace->SidStart;
        char *name = NULL;
        ConvertSidToStringSidA(sid, &name);
        SCOPED_TRACE(name ? name : "?");
        bool onFolders = !(ace->Header.AceFlags & INHERIT_ONLY_ACE);
        EXPECT_FALSE(IsWellKnownSid(sid, WinCreatorOwnerSid)) << "no CREATOR OWNER entry";
        if (IsWellKnownSid(sid, WinBuiltinUsersSid) || IsWellKnownSid(sid, WinAuthenticatedUserSid) ||
            (name && strcmp(name, TALVEX_SERVICE_SID) == 0)) {
            EXPECT_EQ(0u, ace->Mask & kNeverForUsers);
            if (onFolders) {
                EXPECT_EQ(0u, ace->Mask & FILE_ADD_SUBDIRECTORY) << "no folders of their own";
            }
        }
        if (name && strcmp(name, "S-1-3-4") == 0) { // OWNER RIGHTS
            ownerRights = true;
            EXPECT_EQ(0u, ace->Mask & (WRITE_DAC | WRITE_OWNER)) << "an owner may not re-permission a file";
            EXPECT_FALSE(onFolders);
        }
        LocalFree(name);
    }
    EXPECT_TRUE(ownerRights) << "the OWNER RIGHTS entry";
    LocalFree(descriptor);
}

} // namespace
