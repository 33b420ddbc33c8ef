// The real data folder is written, and the data folder's rights
// (common/shared_objects.h) give users no right to delete, rename or
// re-permission the folders or the files the installer made. That nothing
// is written through a link planted in place of the folder is shown by
// planted-link.sh, which makes the link from the Linux side.
#include "test_env.h"

#include "shared_objects.h"
#include "tallib.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST_F(DataFolderTest, TheRealFolderIsWritten)
{
    EXPECT_EQ(1, Profile_WriteText(configFile.c_str(), "App", "Username", "someone"));
    LogToFile("Updater: Process started.", 1, 0);
    EXPECT_NE(std::string::npos, ReadWholeFile(logFile).find("Updater: Process started."));
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
