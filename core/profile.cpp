// Configuration file access: every read and write, in every program, runs
// here under one machine-wide named mutex.
//
// Each private-profile write rewrites the whole file, so two processes
// writing at the same moment lose each other's keys; and a process may keep
// a copy of the file. Holding the mutex around every access, and reading
// the file again before a read when it changed on disk since this process
// last looked, makes every write land and every read see the latest write,
// without re-reading an unchanged file on every call. Every write is
// a commit behind a rollback journal (config_commit.cpp), so a crash never
// leaves the file empty or cut; a read first finishes a commit it finds
// interrupted.
//
// A write that cannot be made (another program holds the file, the disk is
// full, the lock cannot be had in time) is never dropped in silence: the
// cause is logged once, in words, the edits are kept in this process and
// written first by its next commit of the file, and the caller gets 0 with
// the Windows error as the thread's last error.
//
// A thread may collect its writes in a batch and commit them at once: an
// update pass changes some thirty keys, which then cost one commit (one
// lock, one journal, one flush) instead of thirty. Only the collecting thread's writes to the
// batch's file wait; every other write is committed on its own at once.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"
#include "error_text.h"

#include <utility>
#include <vector>

namespace {

// "Global\" so that the service (session 0, its own account) and the
// programs of the logged-on user share one object.
const char kConfigMutexName[] = "Global\\TalvexUpdaterConfigFile";

// What this process last read of the configuration file: its text, with
// the size and last-write time the file had when it was read. A read that
// finds the file as it was answers from this copy (by the reader's rules,
// profile_text.cpp); one that finds it changed, by any process, reads the
// file again first. Read and written under the machine-wide mutex, and
// under g_seenLock for a reader that went ahead without it.
struct SeenFile {
    char path[MAX_PATH] = "";
    FILETIME written = {};
    DWORD size = 0;
    std::string text;
};

CriticalSection g_seenLock;
SeenFile g_seen;

bool Stat(const char *path, FILETIME *written, DWORD *size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data) || data.nFileSizeHigh != 0)
        return false;
    *written = data.ftLastWriteTime;
    *size = data.nFileSizeLow;
    return true;
}

// The whole file's text; false when it cannot be read now (missing, held,
// larger than a configuration), which the next read tries again.
bool ReadWholeFile(const char *path, DWORD expected, std::string &text)
{
    if (expected > kConfigReadMax)
        return false;
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kConfigReadMax)
        return false;
    text.resize((size_t)size.QuadPart);
    DWORD read = 0;
    if (!text.empty() && !ReadFile(file.get(), text.data(), (DWORD)text.size(), &read, NULL))
        return false;
    text.resize(read);
    return true;
}

// Makes the next read come from the file on disk (after a commit or a
// put-back by this process).
void ForgetFile()
{
    CriticalSectionLock lock(g_seenLock);
    g_seen.path[0] = '\0';
    g_seen.text.clear();
}

// The value of a key as the system's profile reader reads it: without the
// spaces around it, or one pair of quotes around it. False when the file,
// the section or the key is missing, or the file cannot be read now: the
// reader's fallback.
bool FindValue(const char *path, const char *section, const char *key, std::string &value)
{
    FILETIME written;
    DWORD size = 0;
    if (!Stat(path, &written, &size))
        return false;
    CriticalSectionLock lock(g_seenLock);
    bool known = lstrcmpiA(g_seen.path, path) == 0 && CompareFileTime(&written, &g_seen.written) == 0 &&
                 size == g_seen.size;
    if (!known) {
        g_seen.path[0] = '\0';
        // The size and time are taken before the text: a change made while
        // it is read shows as a change at the next read.
        if (lstrlenA(path) >= MAX_PATH || !ReadWholeFile(path, size, g_seen.text))
            return false;
        lstrcpyA(g_seen.path, path);
        g_seen.written = written;
        g_seen.size = size;
    }
    if (!FindProfileValue(g_seen.text, section, key, value))
        return false;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
}

bool ValidPath(const char *path) { return path && path[0]; }

// Edits this process could not commit, written first by its next commit
// of the same file: a pass's records are not lost because a virus scanner
// or a backup held the file for a moment.
struct HeldEdits {
    std::string path;
    std::vector<ProfileEdit> edits;
    bool failing = false; // a failure was logged; no commit worked since
};

CriticalSection g_heldLock;
HeldEdits g_held;

bool SameKey(const ProfileEdit &a, const ProfileEdit &b)
{
    return lstrcmpiA(a.section.c_str(), b.section.c_str()) == 0 &&
           (!b.hasKey || (a.hasKey && lstrcmpiA(a.key.c_str(), b.key.c_str()) == 0));
}

// Appends edits, dropping each earlier edit a later one decides alone (the
// same key, or any key of a section deleted later), so what is held stays
// as small as the keys it touches however long the file stays unwritable.
void AppendEdits(std::vector<ProfileEdit> &to, std::vector<ProfileEdit> &&edits)
{
    for (ProfileEdit &edit : edits) {
        std::erase_if(to, [&](const ProfileEdit &earlier) { return SameKey(earlier, edit); });
        to.push_back(std::move(edit));
    }
}

// The held edits for path followed by the new ones.
std::vector<ProfileEdit> WithHeldEdits(const char *path, std::vector<ProfileEdit> &&edits)
{
    CriticalSectionLock lock(g_heldLock);
    std::vector<ProfileEdit> all;
    if (!g_held.edits.empty() && lstrcmpiA(g_held.path.c_str(), path) == 0)
        all.swap(g_held.edits);
    AppendEdits(all, std::move(edits));
    return all;
}

void HoldEdits(const char *path, std::vector<ProfileEdit> &&edits)
{
    CriticalSectionLock lock(g_heldLock);
    if (lstrcmpiA(g_held.path.c_str(), path) != 0)
        g_held.edits.clear(); // only one configuration is ever written
    g_held.path = path;
    AppendEdits(g_held.edits, std::move(edits));
}

// Logs the first failure of a run of failures (in the Event Log too), and
// the first commit that works after one, once each.
void ReportCommit(const char *path, bool done, DWORD error)
{
    bool log;
    {
        CriticalSectionLock lock(g_heldLock);
        log = g_held.failing != !done;
        g_held.failing = !done;
    }
    if (!log)
        return;
    if (done) {
        LogAndSignal("The configuration is saved again, with the changes that were kept.", LOG_NEW_RECORD, LOG_INFO);
        return;
    }
    std::string cause = "Windows " + DescribeError(error);
    std::string message = "Unable to save the configuration: " + cause +
                          ".  The changes are kept and saved with the next change.";
    LogAndSignal(message.c_str(), LOG_NEW_RECORD, LOG_ERROR);
    ReportConfigNotSaved(path, cause.c_str());
}

// Writes the edits (after any this process holds for the file) in one
// commit, under the lock, and makes this process's next read come from the
// new file. Never without the lock: a writer that cannot have it in time
// fails rather than write unserialized.
int Commit(const char *path, std::vector<ProfileEdit> &&newEdits)
{
    if (!MayWriteInDataFolder(path)) {
        // A planted folder is never written and nothing is kept for it; the
        // log lies in that folder, so the Event Log is where this is said.
        ReportCommit(path, false, ERROR_ACCESS_DENIED);
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    std::vector<ProfileEdit> edits = WithHeldEdits(path, std::move(newEdits));
    if (edits.empty())
        return 1;
    bool done = false;
    DWORD error = ERROR_TIMEOUT;
    {
        MachineLock lock(kConfigMutexName);
        if (lock.owned) {
            done = CommitEdits(path, edits.data(), edits.size());
            error = done ? 0 : GetLastError();
            WritePrivateProfileStringA(NULL, NULL, NULL, path);
            ForgetFile();
        }
    }
    if (!done) {
        if (error == 0)
            error = ERROR_WRITE_FAULT;
        HoldEdits(path, std::move(edits));
    }
    ReportCommit(path, done, error);
    SetLastError(error);
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

// Committed or not, the batch's edits are done with: a commit that fails
// keeps them for the next one.
int CommitBatched()
{
    std::vector<ProfileEdit> edits;
    edits.swap(g_batch.edits);
    return Commit(g_batch.path, std::move(edits));
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
        if (!Batching(path)) {
            std::vector<ProfileEdit> edits;
            edits.push_back(std::move(edit));
            return Commit(path, std::move(edits));
        }
        g_batch.edits.push_back(std::move(edit));
        return 1;
    });
}

namespace {

// Under the lock, before a read: finishes a commit found interrupted (a
// crash, End Task or a power cut in the middle of a write), and says so.
void FinishBeforeRead(const char *path)
{
    bool restored = false;
    FinishInterruptedCommit(path, &restored);
    if (restored) {
        ForgetFile();
        LogAndSignal("The configuration was put back as it was before a change that was interrupted.", LOG_NEW_RECORD,
                     LOG_WARNING);
        ReportConfigPutBack(path);
    }
}

} // namespace

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
    return NoThrow(0, [&] {
        SeeOwnWrites(path, section, key);
        std::string value;
        bool found;
        {
            MachineLock lock(kConfigMutexName);
            FinishBeforeRead(path);
            found = FindValue(path, section, key, value);
        }
        if (!found) {
            // The reader drops the spaces that end a fallback.
            value = fallback ? fallback : "";
            while (!value.empty() && value.back() == ' ')
                value.pop_back();
        }
        lstrcpynA(buffer, value.c_str(), size);
        return lstrlenA(buffer);
    });
}

int TALAPI Profile_ReadInt(const char *path, const char *section, const char *key, int fallback)
{
    if (!ValidPath(path) || !section || !key)
        return fallback;
    // As the reader reads a number: at most 29 characters, blanks and a sign
    // first, then decimal digits up to the first that is not one; an empty
    // or missing value is the fallback.
    char text[30];
    if (Profile_ReadText(path, section, key, "", text, sizeof text) == 0)
        return fallback;
    const char *c = text;
    while (*c && (unsigned char)*c <= ' ')
        ++c;
    bool negative = *c == '-';
    if (*c == '-' || *c == '+')
        ++c;
    unsigned value = 0;
    for (; *c >= '0' && *c <= '9'; ++c)
        value = value * 10 + (unsigned)(*c - '0');
    return (int)(negative ? 0u - value : value);
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
