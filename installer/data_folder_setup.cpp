// The installer's data folder (setup_helper.h). Users may create folders
// under the common application-data folder, and an older installation let
// them change its tree, so the installer trusts nothing it finds there:
// - a tree this version made (owner and rights as it sets them) is kept;
//   only its four files are made or checked;
// - any other tree is moved aside whole and made anew: folders and files
//   are created new, owned by Administrators, with their rights set at
//   creation, so no right is ever set on an object someone else made or
//   spread to children someone else put there;
// - a tree that cannot be moved aside (a file in it is held open) is never
//   kept with the rights it had: the installation stops before anything
//   is replaced, and says why;
// - the configuration and the log are carried from a moved tree only when
//   it was an older installation's (a real folder with a trusted owner),
//   read through folders held open against renaming, from files with one
//   name and no reparse point; from a link or a folder of someone else's
//   nothing is carried, and the installer's details say so.
#include "setup_helper.h"

#include "config_keys.h"
#include "data_folder_check.h"
#include "error_text.h"
#include "scoped.h"
#include "shared_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char *const kKeptFiles[] = {"config.talvex", "talvex.log"};
// Made here, and never carried from a moved tree, so that they too belong
// to Administrators and no user can make them first, delete them or plant a
// link in their name: the configuration's rollback journal (a moved tree's
// is not the configuration's any more) and the file whose bytes every
// program locks before it uses the configuration or the log.
const char *const kMadeFiles[] = {"config.talvex.journal", kLockFileName};

bool Fail(const std::string &what, DWORD error)
{
    printf("%s: Windows %s\n", what.c_str(), DescribeError(error).c_str());
    return false;
}

std::string MovedName(const std::string &path) { return path + ".moved-" + std::to_string(GetTickCount64()); }

// A tree held open is tried this many times, 100 ms apart.
const int kMoveTries = 50;

// A security descriptor made from SDDL, freed with the object.
struct Security {
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    explicit Security(const char *sddl)
    {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, descriptor.out(), NULL))
            descriptor.release(); // nothing was allocated
    }
    SECURITY_ATTRIBUTES Attributes()
    {
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
        return attributes;
    }
};

// What the installer gives what it creates: the vendor folder owned by
// Administrators with the data folder's rights; everything in it owned by
// Administrators, its rights inherited.
const std::string kVendorSecurity = std::string("O:BA") + kDataFolderSecurity;
const char kInheritedSecurity[] = "O:BA";

// The attributes of a name itself, never of what a link at it leads to
// (Windows reports a junction, Wine a symbolic link, as a reparse point).
DWORD NameAttributes(const std::string &path) { return GetFileAttributesA(path.c_str()); }

// A folder opened without following a reparse point and checked on that
// handle, held without sharing deletion so that, while it is held, it can
// be neither renamed nor replaced and a path through it leads where it
// did when it was checked. Empty, with `why`, when it is a link or no folder.
ScopedFile HoldFolder(const std::string &path, std::string &why)
{
    DWORD attributes = NameAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = path + " is no folder";
        return ScopedFile();
    }
    ScopedFile folder(CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | READ_CONTROL,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                  FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!folder || !GetFileInformationByHandleEx(folder.get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        why = path + " cannot be opened: Windows " + DescribeError(GetLastError());
        return ScopedFile();
    }
    if ((attributes | tag.FileAttributes) & FILE_ATTRIBUTE_REPARSE_POINT) {
        why = path + " is a link to another place";
        return ScopedFile();
    }
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        why = path + " is no folder";
        return ScopedFile();
    }
    return folder;
}

// The file at path opened with `access` when it is plain: one name, no
// link, no folder, so that its content is its own. Checked on the handle
// returned, so the name cannot be swapped between the check and the use.
ScopedFile OpenPlain(const std::string &path, DWORD access)
{
    DWORD attributes = NameAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ScopedFile();
    ScopedFile file(CreateFileA(path.c_str(), access, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!file || !GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ScopedFile();
    return file;
}

// How the vendor folder found in place came to be.
enum class Found { Nothing, Ours, Older, Foreign };

// A security descriptor's DACL as SDDL; empty when it cannot be spelled.
std::string DaclText(PSECURITY_DESCRIPTOR descriptor)
{
    ScopedLocal<char *> text;
    if (!descriptor || !ConvertSecurityDescriptorToStringSecurityDescriptorA(
                           descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, text.out(), NULL))
        return std::string();
    return text.get();
}

// Whether the handle's owner is trusted, and (`dacl`) its DACL as SDDL.
bool ReadSecurity(HANDLE object, std::string &dacl, bool &explicitEntries)
{
    PSID owner = NULL; // owner and list point into the descriptor
    PACL list = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, NULL,
                        &list, NULL, descriptor.out()) != ERROR_SUCCESS)
        return false;
    bool trusted = OwnerIsTrusted(owner);
    dacl = DaclText(descriptor.get());
    explicitEntries = false;
    for (DWORD i = 0; list && i < list->AceCount; ++i) {
        ACE_HEADER *ace = NULL;
        if (GetAce(list, i, (void **)&ace) && !(ace->AceFlags & INHERITED_ACE))
            explicitEntries = true;
    }
    return trusted;
}

// The data folder's rights as Windows spells them when read back.
std::string SharedDacl()
{
    Security shared(kDataFolderSecurity);
    return DaclText(shared.descriptor.get());
}

// Ours: both folders real, with a trusted owner, the vendor folder with
// exactly the data folder's rights and the data folder with inherited
// rights only. Older: a real vendor folder with a trusted owner (an older
// installation's, whose rights let users change the tree). Foreign: a
// link, a file, or a folder of someone else's. Where the system keeps no
// rights on files (Wine) nothing reads as ours: the tree is made anew.
Found Examine(const std::string &vendor, const std::string &data, std::string &why)
{
    if (NameAttributes(vendor) == INVALID_FILE_ATTRIBUTES)
        return Found::Nothing;
    ScopedFile held = HoldFolder(vendor, why);
    if (!held)
        return Found::Foreign;
    std::string dacl;
    bool explicitEntries = false;
    if (!ReadSecurity(held.get(), dacl, explicitEntries)) {
        why = vendor + " belongs to someone else";
        return Found::Foreign;
    }
    std::string ignored;
    ScopedFile inner = HoldFolder(data, ignored);
    std::string innerDacl;
    if (dacl != SharedDacl() || !inner || !ReadSecurity(inner.get(), innerDacl, explicitEntries) || explicitEntries) {
        why = vendor + " has the rights of an older installation";
        return Found::Older;
    }
    return Found::Ours;
}

// Renames a folder, or the link standing in its place (Windows moves a
// link itself, never what it leads to), out of the way; `moved` is its new
// name. A system that opens what a link leads to even when asked to open
// the link itself would move the wrong folder: there the link is refused
// and left for an administrator to remove (Wine does so for a symbolic
// link, which it also cannot rename or remove).
bool MoveAside(const std::string &path, std::string &moved, bool quiet = false)
{
    DWORD attributes = NameAttributes(path);
    ScopedFile name(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, NULL));
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    bool linkItself = name && GetFileInformationByHandleEx(name.get(), FileAttributeTagInfo, &tag, sizeof tag) &&
                      (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    name.reset();
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !linkItself) {
        Fail(path + " is a link that this system cannot move aside; remove it and install again",
             ERROR_CANT_ACCESS_FILE);
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return false;
    }
    moved = MovedName(path);
    if (MoveFileExA(path.c_str(), moved.c_str(), 0))
        return true;
    DWORD error = GetLastError();
    if (!quiet)
        Fail("Could not move " + path + " aside", error);
    SetLastError(error);
    return false;
}

// MoveAside, tried again for a few seconds while a file in the tree is
// held: a program that has just been stopped may still have one open.
bool MoveAsideSoon(const std::string &path, std::string &moved)
{
    for (int tries = 0;; ++tries) {
        if (MoveAside(path, moved, tries < kMoveTries - 1))
            return true;
        DWORD error = GetLastError();
        if (tries >= kMoveTries - 1 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED))
            return false;
        Sleep(100);
    }
}

// A new folder, created with its owner and rights; one that appeared under
// the name meanwhile is not taken.
bool MakeFolder(const std::string &path, const char *security)
{
    Security made(security);
    SECURITY_ATTRIBUTES attributes = made.Attributes();
    if (!made.descriptor)
        return Fail("Could not read the data folder's rights", GetLastError());
    return CreateDirectoryA(path.c_str(), &attributes) || Fail("Could not make " + path, GetLastError());
}

// A new file, created with its owner and inherited rights; the handle that
// created it, empty when it could not be made.
ScopedFile MakeFile(const std::string &path)
{
    Security made(kInheritedSecurity);
    SECURITY_ATTRIBUTES attributes = made.Attributes();
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, made.descriptor ? &attributes : NULL, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        Fail("Could not make " + path, GetLastError());
    return file;
}

// Copies what is left to read of `from` into `to`.
bool CopyContent(HANDLE from, HANDLE to)
{
    char chunk[65536];
    DWORD read = 0, written = 0;
    while (ReadFile(from, chunk, sizeof chunk, &read, NULL) && read > 0)
        if (!WriteFile(to, chunk, read, &written, NULL) || written != read)
            return false;
    return true;
}

// Copies the plain file `name` of the moved tree's data folder into `to`.
// The moved vendor folder and its data folder are held, so the path leads
// through the folders that were checked; a link or a second name at any
// level carries nothing, and the details say so.
void Carry(const std::string &movedVendor, const char *name, HANDLE to)
{
    std::string why;
    ScopedFile vendor = HoldFolder(movedVendor, why);
    ScopedFile data = vendor ? HoldFolder(movedVendor + "\\Updater", why) : ScopedFile();
    if (!data) {
        printf("%s not carried over: %s\n", name, why.c_str());
        return;
    }
    std::string from = movedVendor + "\\Updater\\" + name;
    if (NameAttributes(from) == INVALID_FILE_ATTRIBUTES)
        return; // nothing to carry
    ScopedFile in = OpenPlain(from, GENERIC_READ);
    if (!in) {
        printf("%s not carried over: it is a link or a second name of another file\n", from.c_str());
        return;
    }
    if (!CopyContent(in.get(), to))
        Fail(std::string("Could not carry over ") + name, GetLastError());
}

// Gives a file of a kept tree that is plain the owner Administrators and
// its inherited rights, through the very handle that found it plain.
bool SecurePlain(HANDLE file, const std::string &path)
{
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    ACL empty;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, administrators, &sidSize) ||
        !InitializeAcl(&empty, sizeof empty, ACL_REVISION))
        return Fail("Could not name the Administrators group", GetLastError());
    DWORD error = SetSecurityInfo(file, SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                      UNPROTECTED_DACL_SECURITY_INFORMATION,
                                  administrators, NULL, &empty, NULL);
    return error == ERROR_SUCCESS || Fail("Could not set the rights of " + path, error);
}

// A file of a kept tree with a second name but still Administrators' own
// (or SYSTEM's): its content is the installation's, whoever made the other
// name, so it is opened without following a link, checked on that handle
// and kept open while its name is moved aside; empty when it is a link,
// a folder or someone else's.
ScopedFile OpenOwnedByAdministrators(const std::string &path)
{
    DWORD attributes = NameAttributes(path);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        return ScopedFile();
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    PSID owner = NULL; // points into the descriptor
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!file || !GetFileInformationByHandle(file.get(), &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) ||
        GetSecurityInfo(file.get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                        descriptor.out()) != ERROR_SUCCESS ||
        !OwnerIsTrusted(owner))
        return ScopedFile();
    return file;
}

// A file of a kept tree: made when missing; one that is plain is secured
// through its checked handle (a running updater may hold it for a moment:
// 5 s at most); one that is a link or has a second name is renamed aside
// and made anew: with the content it had when it is still Administrators'
// own (only a second name was added: the account and hosts are kept),
// empty otherwise (what it holds may be another file's).
bool KeepFile(const std::string &path)
{
    if (NameAttributes(path) != INVALID_FILE_ATTRIBUTES) {
        for (int tries = 0; tries < 50; ++tries) {
            ScopedFile plain = OpenPlain(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES);
            if (plain)
                return SecurePlain(plain.get(), path);
            if (GetLastError() != ERROR_SHARING_VIOLATION)
                break;
            Sleep(100);
        }
        ScopedFile ours = OpenOwnedByAdministrators(path);
        std::string moved = MovedName(path);
        if (!MoveFileExA(path.c_str(), moved.c_str(), 0))
            return Fail("Could not move " + path + " aside", GetLastError());
        ScopedFile made = MakeFile(path);
        if (!made)
            return false;
        if (!ours) {
            printf("%s was a link or another file's second name; moved aside as %s, made anew\n", path.c_str(),
                   moved.c_str());
            return true;
        }
        if (!CopyContent(ours.get(), made.get()))
            return Fail("Could not copy " + moved + " into a new " + path, GetLastError());
        printf("%s had a second name; its content was copied into a new file, the old one moved aside as %s\n",
               path.c_str(), moved.c_str());
        return true;
    }
    return (bool)MakeFile(path);
}

// The files of a tree that is kept: checked and made on held folders, so
// the tree checked is the tree written.
bool KeepTree(const std::string &vendor, const std::string &data)
{
    std::string why;
    ScopedFile heldVendor = HoldFolder(vendor, why);
    ScopedFile heldData = heldVendor ? HoldFolder(data, why) : ScopedFile();
    if (!heldData)
        return Fail(why, ERROR_ACCESS_DENIED);
    for (const char *name : kKeptFiles)
        if (!KeepFile(data + "\\" + name))
            return false;
    for (const char *name : kMadeFiles)
        if (!KeepFile(data + "\\" + name))
            return false;
    return true;
}

// Moves the tree found aside (when there is one) and makes it anew,
// carrying the configuration and the log from an older installation's.
bool Rebuild(const std::string &vendor, const std::string &data, Found found, const std::string &why)
{
    std::string moved;
    if (found != Found::Nothing && !MoveAsideSoon(vendor, moved)) {
        // A tree that cannot be moved aside (someone holds a file in it
        // open without letting it be renamed) is never kept: whatever its
        // rights let users do to it would outlive this installation. The
        // installation stops before anything is replaced.
        printf("%s; it must be moved aside and made anew, and nothing was installed: close what holds a file in it "
               "open and install again\n",
               why.c_str());
        return false;
    }
    if (!MakeFolder(vendor, kVendorSecurity.c_str()) || !MakeFolder(data, kInheritedSecurity))
        return false;
    for (const char *name : kKeptFiles) {
        ScopedFile made = MakeFile(data + "\\" + name);
        if (!made)
            return false;
        if (found == Found::Older)
            Carry(moved, name, made.get());
    }
    for (const char *name : kMadeFiles)
        if (!MakeFile(data + "\\" + name))
            return false;
    if (found == Found::Older)
        printf("%s; moved aside as %s, its configuration and log carried over\n", why.c_str(), moved.c_str());
    else if (found == Found::Foreign)
        printf("%s; moved aside as %s, nothing carried over from it\n", why.c_str(), moved.c_str());
    return true;
}

} // namespace

bool MakeDataFolder(const std::string &appData)
{
    std::string vendor = appData + "\\Talvex", data = vendor + "\\Updater", why;
    Found found = Examine(vendor, data, why);
    return found == Found::Ours ? KeepTree(vendor, data) : Rebuild(vendor, data, found, why);
}
