// Configuration file access: every read and write, in every program, runs
// here under one machine-wide named mutex.
//
// Each private-profile write rewrites the whole file, so two processes
// writing at the same moment lose each other's keys; and a process may keep
// a cached copy of the file. Holding the mutex around every access, and
// dropping the cache before a read when the file changed on disk since this
// process last looked, makes every write land and every read see the latest
// write, without re-reading an unchanged file on every call. Every write is
// a commit behind a rollback journal (config_commit.cpp), so a crash never
// leaves the file empty or cut; a read first finishes a commit it finds
// interrupted.
//
// A thread may collect its writes in a batch and commit them at once: an
// update pass changes some thirty keys, which then cost one commit (one
// lock, one journal, one flush) instead of thirty. Only the collecting thread's writes to the
// batch's file wait; every other write is committed on its own at once.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"

#include <utility>
#include <vector>

namespace {

// "Global\" so that the service (session 0, its own account) and the
// programs of the logged-on user share one object.
const char kConfigMutexName[] = "Global\\TalvexUpdaterConfigFile";

// What this process last saw of the configuration file on disk. Read and
// written only under the machine-wide mutex.
struct SeenFile {
    char path[MAX_PATH];
    FILETIME written;
    DWORD size;
};

SeenFile g_seen;

bool Stat(const char *path, FILETIME *written, DWORD *size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    *written = data.ftLastWriteTime;
    *size = data.nFileSizeLow;
    return true;
}

void RememberFile(const char *path)
{
    if (!Stat(path, &g_seen.written, &g_seen.size) || lstrlenA(path) >= MAX_PATH)
        g_seen.path[0] = '\0';
    else
        lstrcpyA(g_seen.path, path);
}

// Drops any cached copy when the file changed since this process last
// wrote or read it, so the next read comes from the file on disk.
void FlushIfChanged(const char *path)
{
    FILETIME written;
    DWORD size = 0;
    bool known = Stat(path, &written, &size) && lstrcmpiA(g_seen.path, path) == 0 &&
                 CompareFileTime(&written, &g_seen.written) == 0 && size == g_seen.size;
    if (!known) {
        WritePrivateProfileStringA(NULL, NULL, NULL, path);
        RememberFile(path);
    }
}

bool ValidPath(const char *path) { return path && path[0]; }

// Writes the edits in one commit, under the lock, and makes this
// process's next read come from the new file.
int Commit(const char *path, const ProfileEdit *edits, size_t count)
{
    if (!MayWriteInDataFolder(path))
        return 0;
    MachineLock lock(kConfigMutexName);
    bool done = CommitEdits(path, edits, count);
    WritePrivateProfileStringA(NULL, NULL, NULL, path);
    RememberFile(path);
    return done ? 1 : 0;
}

// The writes one thread collects for one file until it commits them. The
// owner alone touches the path and the edits; others only compare `owner`
// with their own id.
struct Batch {
    volatile LONG owner = 0; // thread id; 0 when no batch is open
    char path[MAX_PATH] = "";
    std::vector<ProfileEdit> edits;
};

Batch g_batch;

bool IsBatchOwner() { return g_batch.owner == (LONG)GetCurrentThreadId(); }

bool Batching(const char *path) { return IsBatchOwner() && lstrcmpiA(g_batch.path, path) == 0; }

int CommitBatched()
{
    std::vector<ProfileEdit> edits;
    edits.swap(g_batch.edits); // committed or not, these edits are done with
    return edits.empty() ? 1 : Commit(g_batch.path, edits.data(), edits.size());
}

// A read by the collecting thread of a key it changed sees its own write:
// what it collected is committed first. An update pass never reads back
// what it wrote, so this costs it nothing.
void SeeOwnWrites(const char *path, const char *section, const char *key)
{
    if (!Batching(path))
        return;
    for (const ProfileEdit &e : g_batch.edits) {
        if (lstrcmpiA(e.section.c_str(), section) == 0 && (!e.hasKey || lstrcmpiA(e.key.c_str(), key) == 0)) {
            NoThrowVoid([] { CommitBatched(); });
            return;
        }
    }
}

} // namespace

int TALAPI Profile_BeginBatch(const char *path)
{
    if (!ValidPath(path) || lstrlenA(path) >= MAX_PATH)
        return 0;
    LONG self = (LONG)GetCurrentThreadId();
    if (g_batch.owner == self)
        return lstrcmpiA(g_batch.path, path) == 0 ? 1 : 0;
    if (InterlockedCompareExchange(&g_batch.owner, self, 0) != 0)
        return 0; // another thread collects: this one writes at once
    lstrcpyA(g_batch.path, path);
    return 1;
}

int TALAPI Profile_CommitBatch(void)
{
    if (!IsBatchOwner())
        return 1;
    return NoThrow(0, [] { return CommitBatched(); });
}

int TALAPI Profile_EndBatch(void)
{
    if (!IsBatchOwner())
        return 1;
    int committed = Profile_CommitBatch();
    g_batch.path[0] = '\0';
    InterlockedExchange(&g_batch.owner, 0);
    return committed;
}

int TALAPI Profile_WriteText(const char *path, const char *section, const char *key, const char *value)
{
    // A null section would flush and a null key with a value is meaningless;
    // a null key or value deletes, as the profile API defines.
    if (!ValidPath(path) || !section)
        return 0;
    return NoThrow(0, [&] {
        ProfileEdit edit;
        edit.section = section;
        edit.hasKey = key != NULL;
        edit.key = key ? key : "";
        edit.hasValue = value != NULL;
        edit.value = value ? value : "";
        if (!Batching(path))
            return Commit(path, &edit, 1);
        g_batch.edits.push_back(std::move(edit));
        return 1;
    });
}

int TALAPI Profile_ReadText(const char *path, const char *section, const char *key, const char *fallback,
                            char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    if (!ValidPath(path) || !section || !key) {
        lstrcpynA(buffer, fallback ? fallback : "", size);
        return lstrlenA(buffer);
    }
    SeeOwnWrites(path, section, key);
    MachineLock lock(kConfigMutexName);
    FinishInterruptedCommit(path);
    FlushIfChanged(path);
    return (int)GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer, (DWORD)size, path);
}

int TALAPI Profile_ReadInt(const char *path, const char *section, const char *key, int fallback)
{
    if (!ValidPath(path) || !section || !key)
        return fallback;
    SeeOwnWrites(path, section, key);
    MachineLock lock(kConfigMutexName);
    FinishInterruptedCommit(path);
    FlushIfChanged(path);
    return (int)GetPrivateProfileIntA(section, key, fallback, path);
}

int ConfigWrite(const char *section, const char *key, const char *value)
{
    return Profile_WriteText(Paths().configFile, section, key, value);
}

int ConfigReadText(const char *section, const char *key, const char *fallback, char *buffer, int size)
{
    return Profile_ReadText(Paths().configFile, section, key, fallback, buffer, size);
}

int ConfigReadInt(const char *section, const char *key, int fallback)
{
    return Profile_ReadInt(Paths().configFile, section, key, fallback);
}
