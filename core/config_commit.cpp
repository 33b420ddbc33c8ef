// Writes a set of edits to the configuration file by replacing it whole:
// the file on disk is at every moment the old or the new configuration.
//
// A private-profile write truncates the file and then writes it again, so a
// process killed in between left an empty file. Here the edits are applied,
// with the system's own profile calls (so case, first match, deletion and
// where new keys go stay exactly as every reader expects), to a copy beside
// the file; the copy is flushed to disk and then put in the file's place in
// one step.
#include "internal.h"

#include <aclapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// Temporary copies are named "<file>.<process>-<n>.tmp": unique per commit,
// so a stale profile cache of an earlier copy can never match, and
// recognisable, so that a copy left by a crash is found and removed.
const char kTempSuffix[] = ".tmp";

// How long a replacement waits, at most, for a reader to let the file go.
const int kPlaceAttempts = 8;
const DWORD kPlaceRetryMs = 25;

std::string TempPathFor(const char *path)
{
    static LONG counter = 0;
    char tail[48];
    snprintf(tail, sizeof tail, ".%lu-%ld%s", GetCurrentProcessId(), InterlockedIncrement(&counter), kTempSuffix);
    return std::string(path) + tail;
}

// Drops whatever copy of the file the profile functions keep in memory.
void ForgetCachedProfile(const char *path) { WritePrivateProfileStringA(NULL, NULL, NULL, path); }

// Removes copies that a writer killed before its replacement left behind.
// Called only by the lock's owner: no other commit can be under way.
void RemoveLeftovers(const char *path)
{
    std::string folder(path), pattern = std::string(path) + ".*" + kTempSuffix;
    folder.erase(folder.find_last_of('\\') + 1);
    std::string base = std::string(path).substr(folder.size()) + ".";
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // The pattern also matches short names: check the long name.
        std::string name = found.cFileName;
        if (name.size() > base.size() + sizeof kTempSuffix - 1 && name.compare(0, base.size(), base) == 0 &&
            name.compare(name.size() - (sizeof kTempSuffix - 1), std::string::npos, kTempSuffix) == 0)
            DeleteFileA((folder + name).c_str());
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool FlushToDisk(const char *path)
{
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    return file && FlushFileBuffers(file.get());
}

// The same bytes in both files. A file that cannot be read whole reads as
// empty, and is never taken for unchanged.
bool SameContent(const char *a, const char *b)
{
    std::string left = ReadSmallFile(a);
    return !left.empty() && left == ReadSmallFile(b);
}

// Gives the copy the file's rights, which a rename would otherwise take
// from the copy (inherited from the folder): the DACL, and the owner where
// this account may set it. Attributes came with CopyFileA.
void KeepRights(const char *path, const char *temp)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    PSID owner = NULL;
    PACL dacl = NULL;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              NULL, &dacl, NULL, &sd) != ERROR_SUCCESS)
        return;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    SECURITY_INFORMATION which = DACL_SECURITY_INFORMATION |
        ((control & SE_DACL_PROTECTED) ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION);
    SetNamedSecurityInfoA((char *)temp, SE_FILE_OBJECT, which, NULL, NULL, dacl, NULL);
    SetNamedSecurityInfoA((char *)temp, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, owner, NULL, NULL, NULL);
    LocalFree(sd);
}

// Puts the copy in the file's place with one rename, so that the name
// always names a whole file. ReplaceFileA is not used: it moves the old
// file aside before it moves the new one in, and a process killed between
// the two leaves no configuration at all (the kill test met exactly that
// under Wine; Windows documents the same two steps). A program reading the
// file without sharing deletion (a backup, a virus scanner) holds the
// rename off for a moment: a few short retries.
bool PutInPlace(const char *temp, const char *path)
{
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(kPlaceRetryMs);
        if (MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
    }
    return false;
}

bool ApplyEdits(const char *temp, const ProfileEdit *edits, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const ProfileEdit &e = edits[i];
        if (!WritePrivateProfileStringA(e.section.c_str(), e.hasKey ? e.key.c_str() : NULL,
                                        e.hasValue ? e.value.c_str() : NULL, temp))
            return false;
    }
    return true;
}

bool CommitTo(const char *path, const std::string &temp, const ProfileEdit *edits, size_t count)
{
    bool existed = true;
    if (!CopyFileA(path, temp.c_str(), FALSE)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND)
            return false; // never start from nothing when the file is there
        existed = false;
    }
    // A copy keeps the file's time; the cache must not take it for an
    // older copy it holds under this name.
    ForgetCachedProfile(temp.c_str());
    bool applied = ApplyEdits(temp.c_str(), edits, count);
    ForgetCachedProfile(temp.c_str());
    if (!applied)
        return false;
    if (GetFileAttributesA(temp.c_str()) == INVALID_FILE_ATTRIBUTES)
        return !existed; // deletions in a missing file: nothing to write
    if (existed && SameContent(path, temp.c_str()))
        return true; // the edits change nothing: the file stays as it is
    if (existed)
        KeepRights(path, temp.c_str());
    return FlushToDisk(temp.c_str()) && PutInPlace(temp.c_str(), path);
}

} // namespace

bool ReplaceWithEdits(const char *path, const ProfileEdit *edits, size_t count, bool exclusive)
{
    if (exclusive)
        RemoveLeftovers(path);
    std::string temp = TempPathFor(path);
    bool done = CommitTo(path, temp, edits, count);
    DeleteFileA(temp.c_str()); // gone already when it took the file's place
    return done;
}
