// Configuration file access: every read and write, in every program, runs
// here under the configuration's lock, which every program of every
// account and session shares (machine_lock.cpp).
//
// Each private-profile write rewrites the whole file, so two processes
// writing at the same moment lose each other's keys; and a process may keep
// a copy of the file. Holding the lock around every access, and reading
// the file again before a read when it changed on disk since this process
// last looked, makes every write land and every read see the latest write,
// without re-reading an unchanged file on every call. Every write is
// a commit behind a rollback journal (config_commit.cpp, whose rules J1 to
// J8 are named here too), so a crash never leaves the file empty or cut; a
// read first finishes a commit it finds interrupted.
//
// A write that cannot be made (another program holds the file, the disk is
// full, the lock cannot be had in time) is never dropped in silence: the
// cause is logged once, in words, the edits are kept in this process and
// written first by its next commit of the file, and the caller gets 0 with
// the Windows error as the thread's last error. Meanwhile every read of
// this process answers with its kept edits applied: an update pass does
// not send again what the server accepted because its records could not
// be saved. A kept edit whose key another program changed before it could
// be written is dropped, not replayed over the newer value.
//
// A thread may collect its writes in a batch and commit them at once: an
// update pass changes some thirty keys, which then cost one commit (one
// lock, one journal, one flush) instead of thirty. Only the collecting
// thread's writes to the batch's file wait, and its reads see them; every
// other write is committed on its own at once.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"
#include "error_text.h"

#include <utility>
#include <vector>

namespace {

// What this process last read of the configuration file: its text, with
// the size and last-write time the file had and the journal's change
// counter when it was read. A read that finds all three as they were
// answers from this copy (by the reader's rules, profile_text.cpp); one
// that finds any changed, by any process, reads the file again first. Size
// and time alone are not enough: same-size rewrites are the rule here, and
// two commits within one tick of a file system's clock (2 s on FAT32) keep
// the time (J6). Read and written under g_seenLock.
struct SeenFile {
    char path[MAX_PATH] = "";
    FILETIME written = {};
    DWORD size = 0;
    unsigned long long changes = 0;
    ConfigText text;
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
bool ReadWholeFile(const char *path, ConfigText &config)
{
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kConfigReadMax)
        return false;
    std::string bytes((size_t)size.QuadPart, '\0');
    DWORD read = 0;
    if (!bytes.empty() && !ReadFile(file.get(), bytes.data(), (DWORD)bytes.size(), &read, NULL))
        return false;
    bytes.resize(read);
    config = DecodeConfigFile(bytes);
    return true;
}

// Makes the next read come from the file on disk (after a commit or a
// put-back by this process).
void ForgetFile()
{
    CriticalSectionLock lock(g_seenLock);
    g_seen.path[0] = '\0';
    g_seen.text = ConfigText{};
}

// The file's current text, from this process's copy while the file, by its
// size, time and the journal's counter, is as it was.
bool CurrentText(const char *path, unsigned long long changes, ConfigText &config)
{
    FILETIME written;
    DWORD size = 0;
    if (!Stat(path, &written, &size) || lstrlenA(path) >= MAX_PATH)
        return false;
    CriticalSectionLock lock(g_seenLock);
    bool known = lstrcmpiA(g_seen.path, path) == 0 && CompareFileTime(&written, &g_seen.written) == 0 &&
                 size == g_seen.size && changes == g_seen.changes;
    if (!known) {
        g_seen.path[0] = '\0';
        // The figures are taken before the text: a change made while it is
        // read shows as a change at the next read.
        if (!ReadWholeFile(path, g_seen.text))
            return false;
        lstrcpyA(g_seen.path, path);
        g_seen.written = written;
        g_seen.size = size;
        g_seen.changes = changes;
    }
    config = g_seen.text;
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
    std::vector<std::string> refusals; // the refused names already logged
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

std::vector<ProfileEdit> HeldFor(const char *path)
{
    CriticalSectionLock lock(g_heldLock);
    if (lstrcmpiA(g_held.path.c_str(), path) != 0)
        return {};
    return g_held.edits;
}

// Replaces what is kept for path (only one configuration is ever written).
void KeepEdits(const char *path, std::vector<ProfileEdit> &&edits)
{
    CriticalSectionLock lock(g_heldLock);
    g_held.path = path;
    g_held.edits = std::move(edits);
}

// Each edit kept for the first time remembers what its key read in the
// text it was meant to change: the file as the failed commit found it, or
// else as it reads now, or else as this process last read it. With none
// of them, the edit is kept unguarded, as an ordinary write.
void GuardKept(const char *path, std::vector<ProfileEdit> &edits, const ConfigText *found)
{
    ConfigText base;
    bool known = found != nullptr;
    if (known) {
        base = *found;
    } else if (!(known = ReadWholeFile(path, base))) {
        CriticalSectionLock lock(g_seenLock);
        if ((known = lstrcmpiA(g_seen.path, path) == 0))
            base = g_seen.text;
    }
    if (!known)
        return;
    for (ProfileEdit &edit : edits) {
        if (edit.guarded || !edit.hasKey)
            continue;
        ProfileEdit probe = EditsInEncoding(base, &edit, 1)[0];
        GuardProfileEdit(probe, base.text);
        edit.guarded = true;
        edit.hadValue = probe.hadValue;
        edit.replaced = ValueFromEncoding(base, probe.replaced);
    }
}

// Logs the first failure of a run of failures (in the Event Log too), and
// the first commit that works after one, once each.
void ReportCommit(const char *path, bool done, DWORD error, bool kept)
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
                          (kept ? ".  The changes are kept and saved with the next change." : ".");
    LogAndSignal(message.c_str(), LOG_NEW_RECORD, LOG_ERROR);
    ReportConfigNotSaved(path, cause.c_str());
}

// A name or value as it may appear in a log line: controls shown as "?",
// and cut to a length a record can carry.
std::string Shown(const std::string &text)
{
    std::string shown = text.substr(0, 128);
    for (char &c : shown) {
        if ((unsigned char)c < ' ')
            c = '?';
    }
    return shown;
}

// An edit the file cannot hold as meant (a hand-edited host name with "]"
// makes a section name no reader reads back) is refused alone, said once
// per name, and never kept.
void ReportRefused(const ProfileEdit &edit)
{
    std::string name = "[" + Shown(edit.section) + "]" + (edit.hasKey ? " " + Shown(edit.key) : "");
    {
        CriticalSectionLock lock(g_heldLock);
        for (const std::string &logged : g_held.refusals) {
            if (logged == name)
                return;
        }
        if (g_held.refusals.size() < 32)
            g_held.refusals.push_back(name);
    }
    std::string message = "Not saved: " + name +
                          " cannot be written in the configuration (a name with \"]\", \"=\" or a line break,"
                          " or a value with a line break).";
    LogAndSignal(message.c_str(), LOG_NEW_RECORD, LOG_ERROR);
}

// Writes the edits (after any this process holds for the file) in one
// commit, under the lock, and makes this process's next read come from the
// new file. Never without the lock (J1): a writer that cannot have it in
// time fails rather than write unserialized. A failed commit keeps its
// edits when `keep` says so; the ones kept before are kept in any case.
int Commit(const char *path, std::vector<ProfileEdit> &&newEdits, bool keep)
{
    if (!MayWriteInDataFolder(path)) {
        // A planted folder is never written and nothing is kept for it; the
        // log lies in that folder, so the Event Log is where this is said.
        ReportCommit(path, false, ERROR_ACCESS_DENIED, false);
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    bool done = false;
    DWORD error = ERROR_SUCCESS;
    std::vector<ProfileEdit> held, edits;
    ConfigText found;
    bool foundSet = false;
    {
        // Taken before the kept edits are: no other thread of this process
        // commits them meanwhile, and its reads still see them.
        MachineLock lock(SharedLock::Config);
        held = HeldFor(path);
        edits = held;
        AppendEdits(edits, std::move(newEdits));
        if (edits.empty())
            return 1;
        if (lock.owned) {
            done = CommitEdits(path, edits.data(), edits.size(), &found, &foundSet);
            error = done ? 0 : GetLastError();
        } else {
            error = lock.error;
        }
        if (!done) {
            if (error == 0)
                error = ERROR_WRITE_FAULT;
            std::vector<ProfileEdit> &kept = keep ? edits : held;
            GuardKept(path, kept, foundSet ? &found : nullptr);
            KeepEdits(path, std::move(kept));
        } else {
            KeepEdits(path, {}); // J4: written, and only now forgotten
        }
        if (lock.owned) {
            WritePrivateProfileStringA(NULL, NULL, NULL, path);
            ForgetFile();
        }
    }
    ReportCommit(path, done, error, keep);
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
// keeps them for the next one unless `keep` says otherwise.
int CommitBatched(bool keep)
{
    std::vector<ProfileEdit> edits;
    edits.swap(g_batch.edits);
    return Commit(g_batch.path, std::move(edits), keep);
}

int EndBatch(bool keep)
{
    if (!IsBatchOwner())
        return 1;
    int committed = NoThrow(0, [&] { return CommitBatched(keep); });
    g_batch.path[0] = '\0';
    InterlockedExchange(&g_batch.owner, 0);
    return committed;
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
    return NoThrow(0, [] { return CommitBatched(true); });
}

int TALAPI Profile_EndBatch(void) { return EndBatch(true); }

int TALAPI Profile_EndBatchOrDrop(void) { return EndBatch(false); }

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
        if (!IsWritableEdit(edit)) {
            ReportRefused(edit);
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        if (!Batching(path)) {
            std::vector<ProfileEdit> edits;
            edits.push_back(std::move(edit));
            return Commit(path, std::move(edits), true);
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

// The text a read answers from, as the file holds it: with the lock, after
// finishing an interrupted commit. Without the lock nothing is written (J1),
// and an unfinished commit's whole saved text is the last whole
// configuration (as it is when even the lock's owner could not put it back).
bool FileText(const char *path, bool owned, ConfigText &config)
{
    JournalView view;
    ReadJournalView(path, view);
    if (owned && view.inUse) {
        FinishBeforeRead(path);
        ReadJournalView(path, view);
    }
    if (view.savedWhole) {
        config = DecodeConfigFile(view.saved);
        return true;
    }
    return CurrentText(path, view.changes, config);
}

// The edits of this process not yet in the file that may concern section:
// the kept ones, then the reading thread's open batch.
std::vector<ProfileEdit> PendingEdits(const char *path, const char *section)
{
    std::vector<ProfileEdit> pending = HeldFor(path);
    if (Batching(path))
        pending.insert(pending.end(), g_batch.edits.begin(), g_batch.edits.end());
    std::erase_if(pending, [&](const ProfileEdit &e) { return lstrcmpiA(e.section.c_str(), section) != 0; });
    return pending;
}

// The value of a key as the system's profile reader reads it, from the
// file's text with this process's pending edits applied: without the
// spaces around it, or one pair of quotes around it. False when the
// section or the key is missing, or the file cannot be read now: the
// reader's fallback.
bool FindValue(const char *path, const char *section, const char *key, std::string &value)
{
    ConfigText config;
    std::vector<ProfileEdit> pending;
    {
        MachineLock lock(SharedLock::Config);
        pending = PendingEdits(path, section);
        if (!FileText(path, lock.owned, config)) {
            if (pending.empty())
                return false;
            config = ConfigText{}; // what this process wrote reads even so
        }
    }
    if (!pending.empty()) {
        std::vector<ProfileEdit> converted = EditsInEncoding(config, pending.data(), pending.size());
        ApplyProfileEdits(config.text, converted.data(), converted.size());
    }
    if (!FindProfileValue(config.text, NameInEncoding(config, section), NameInEncoding(config, key), value))
        return false;
    value = ValueFromEncoding(config, value);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
        value = value.substr(1, value.size() - 2);
    return true;
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
        std::string value;
        if (!FindValue(path, section, key, value)) {
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
