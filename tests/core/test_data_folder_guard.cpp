// The real data folder is written, and the data folder's rights
// (common/shared_objects.h) give users no right to delete, rename or
// re-permission the folders or the files the installer made, nor to give a
// file a second name; the program folder's rights let others only read and
// run its programs. That nothing
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
            } else {
                // Windows asks for the attributes right of a hard link's target.
                EXPECT_EQ(0u, ace->Mask & (FILE_WRITE_ATTRIBUTES | FILE_WRITE_EA)) << "no second name on a file";
                EXPECT_EQ((DWORD)(FILE_WRITE_DATA | FILE_APPEND_DATA), ace->Mask & (FILE_WRITE_DATA | FILE_APPEND_DATA))
                    << "the configuration and the log are written";
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

// The program folder's rights: its own, not inherited, and nobody but
// SYSTEM and Administrators may change what it holds.
TEST(ProgramFolderRights, ProtectedOwnedByAdministratorsAndOnlyReadAndRunForOthers)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(kProgramFolderSecurity, SDDL_REVISION_1,
                                                                     &descriptor, NULL));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the folder above";
    PSID owner = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor, &owner, &defaulted));
    EXPECT_TRUE(owner && IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
    PACL dacl = NULL;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    int readers = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE *ace = NULL;
        ASSERT_TRUE(GetAce(dacl, i, (void **)&ace));
        PSID sid = &ace->SidStart;
        if (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid))
            continue;
        EXPECT_EQ((DWORD)(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE), ace->Mask) << "entry " << i;
        EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, (int)ace->Header.AceFlags) << "entry " << i;
        ++readers;
    }
    EXPECT_EQ(2, readers) << "users and the service";
    LocalFree(descriptor);
}

} // namespace
