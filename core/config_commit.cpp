// Commits a set of edits to the configuration file: written once, through
// one checked handle, so that a crash at any moment leaves the old or the
// new configuration, never an empty or cut one.
//
// The file cannot simply be replaced by a renamed copy: a rename needs the
// right to delete the file, which no user has on the configuration (it
// belongs to Administrators so that nobody can delete or re-permission it),
// and a copy would take the renaming user as its owner. So the file is
// written in place, as itself, behind a rollback journal beside it
// ("config.talvex.journal"):
//   1. the file is opened once, following no link, and checked to be a
//      plain file with one name (an elevated writer must not change a file
//      a user reached through a second name); its text is read and every
//      edit applied to it in memory (profile_text.cpp); a commit that
//      changes nothing ends here;
//   2. the whole old text goes into the journal, marked in use, and the
//      journal is flushed to disk;
//   3. the new text is written over the file through the same handle, the
//      file cut to its length and flushed;
//   4. the journal is marked idle.
// Whoever next takes the configuration lock, to read or to write, reads the
// journal's header and, when it says in use, puts the saved text back first.
//
//   the journal holds                      what happened          the next access
//   -------------------------------------  ---------------------  ---------------------------
//   nothing, or no header (as installed)   no commit yet          nothing to do
//   a header that says idle                commits all finished   nothing to do
//   "in use" and the whole old text        died in step 3 or 4    puts the text back (an
//     (length, checksum and size agree;      (the file may be cut)  empty text too: the first
//     the text may be empty)                                        save into an empty file),
//                                                                   marks the journal idle
//   "in use" with a text cut or not its    died in step 2: the    puts nothing back, marks
//     own, or larger than a configuration    file is untouched      the journal idle
//   a link or a second name                planted                refused: nothing written
//
// Nothing is assumed atomic but that a flushed write stays written: the
// journal is whole on disk before the file is touched and the file before
// the journal is marked idle, and a torn header or text fails the checks
// above, so it is never put back. The state is read from the header, never
// guessed from the journal's size: a journal in use for an empty file is
// exactly one header long, as an idle one is.
//
// A virus scanner or a backup may hold either file for a moment: an open
// refused for sharing or a lock is tried again for up to two seconds.
// Every failure ends with the thread's last error set to the Windows error
// of the step that failed, for the caller to report.
#include "internal.h"

#include <string.h>

#include <string>

namespace {

const char kJournalSuffix[] = ".journal";
const char kMagic[4] = {'T', 'V', 'X', 'J'};
const DWORD kIdle = 0, kInUse = 1;

// The journal starts with this header; in use, the old text follows.
// `commits` counts the commits made through this journal, for support
// and the tests.
#pragma pack(push, 1)
struct JournalHeader {
    char magic[4];
    DWORD state;
    unsigned long long commits;
    DWORD length;
    DWORD checksum;
};
#pragma pack(pop)

DWORD Checksum(const std::string &text)
{
    DWORD hash = 2166136261u; // FNV-1a
    for (unsigned char c : text)
        hash = (hash ^ c) * 16777619u;
    return hash;
}

// The error of the call that just failed, or `fallback` when it set none
// (a short read or write).
DWORD Failure(DWORD fallback)
{
    DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

DWORD ReadAll(HANDLE file, std::string &text, DWORD size)
{
    text.resize(size);
    DWORD read = 0;
    if (size == 0)
        return ERROR_SUCCESS;
    SetLastError(ERROR_SUCCESS);
    if (!ReadFile(file, text.data(), size, &read, NULL) || read != size)
        return Failure(ERROR_HANDLE_EOF);
    return ERROR_SUCCESS;
}

bool WriteAll(HANDLE file, const void *data, DWORD size)
{
    DWORD written = 0;
    SetLastError(ERROR_SUCCESS);
    return size == 0 || (WriteFile(file, data, size, &written, NULL) && written == size);
}

// Writes text at the start of the file, cuts the file there and flushes it:
// the file stays itself, with its owner and rights.
DWORD Overwrite(HANDLE file, const void *head, DWORD headSize, const std::string &text)
{
    SetLastError(ERROR_SUCCESS);
    if (SetFilePointer(file, 0, NULL, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !WriteAll(file, head, headSize) || !WriteAll(file, text.data(), (DWORD)text.size()) ||
        !SetEndOfFile(file) || !FlushFileBuffers(file))
        return Failure(ERROR_WRITE_FAULT);
    return ERROR_SUCCESS;
}

// Opens a file for a commit, which others may only read meanwhile: a plain
// file with one name in the real data folder (OpenPlainDataFile).
DWORD OpenForCommit(const char *path, DWORD disposition, ScopedFile &file)
{
    return OpenPlainDataFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, disposition, file);
}

// The whole text of an open file; a configuration past the largest one is
// damage, never read.
DWORD ReadText(HANDLE file, std::string &text)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size))
        return Failure(ERROR_READ_FAULT);
    if (size.QuadPart > kConfigReadMax)
        return ERROR_FILE_TOO_LARGE;
    return ReadAll(file, text, (DWORD)size.QuadPart);
}

// The configuration's journal, opened by the lock's owner only.
struct Journal {
    ScopedFile file;
    JournalHeader header = {};
    bool inUse = false;
    std::string saved; // the text it holds while in use

    DWORD Open(const std::string &path)
    {
        if (DWORD error = OpenForCommit(path.c_str(), OPEN_ALWAYS, file))
            return error;
        DWORD read = 0;
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(file.get(), &size))
            return Failure(ERROR_READ_FAULT);
        if (!ReadFile(file.get(), &header, sizeof header, &read, NULL) || read != sizeof header ||
            memcmp(header.magic, kMagic, sizeof kMagic) != 0) {
            header = JournalHeader{}; // empty (as the installer makes it) or never finished: idle
            return ERROR_SUCCESS;
        }
        // Users may write the journal: one claiming more than a configuration
        // can hold is damage, never read (nor allocated for).
        inUse = header.state == kInUse && header.length <= kConfigReadMax &&
                size.QuadPart == (LONGLONG)(sizeof header + header.length) &&
                ReadAll(file.get(), saved, header.length) == ERROR_SUCCESS && Checksum(saved) == header.checksum;
        return ERROR_SUCCESS;
    }

    DWORD Write(DWORD state, const std::string &content)
    {
        memcpy(header.magic, kMagic, sizeof kMagic);
        header.state = state;
        header.length = (DWORD)content.size();
        header.checksum = Checksum(content);
        inUse = state == kInUse;
        saved = content;
        return Overwrite(file.get(), &header, sizeof header, content);
    }
};

std::string JournalPath(const char *path) { return std::string(path) + kJournalSuffix; }

// The state a journal's header says, read without writing: idle when the
// journal is missing, empty (as the installer makes it) or no journal.
DWORD ReadJournalState(const std::string &path, DWORD &state)
{
    state = kIdle;
    // Asked once, without waiting: every read looks here, and a scanner
    // holding the journal must not cost each read two seconds. No commit
    // can be under way meanwhile (the caller holds the lock).
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : Failure(ERROR_OPEN_FAILED);
    JournalHeader header = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), &header, sizeof header, &read, NULL))
        return Failure(ERROR_READ_FAULT);
    if (read == sizeof header && memcmp(header.magic, kMagic, sizeof kMagic) == 0)
        state = header.state;
    return ERROR_SUCCESS;
}

// Drops whatever copy of the file the profile functions keep in memory.
void ForgetCachedProfile(const char *path) { WritePrivateProfileStringA(NULL, NULL, NULL, path); }

// Puts back what an interrupted commit had saved, then marks the journal
// idle (also one cut short, whose commit never touched the file).
DWORD RollBack(Journal &journal, const char *path)
{
    if (journal.inUse) {
        ScopedFile config;
        DWORD error = OpenForCommit(path, OPEN_ALWAYS, config);
        if (!error)
            error = Overwrite(config.get(), NULL, 0, journal.saved);
        ForgetCachedProfile(path);
        if (error)
            return error;
    }
    return journal.Write(kIdle, std::string());
}

DWORD Commit(const char *path, const ProfileEdit *edits, size_t count)
{
    if (!MayWriteInDataFolder(path))
        return Failure(ERROR_ACCESS_DENIED);
    Journal journal;
    DWORD error = journal.Open(JournalPath(path));
    if (!error && journal.inUse)
        error = RollBack(journal, path);
    if (error)
        return error;

    ScopedFile config;
    std::string old;
    error = OpenForCommit(path, OPEN_EXISTING, config);
    if (error == ERROR_FILE_NOT_FOUND) {
        // Only a commit that writes something makes a missing file.
        std::string text;
        if (!ApplyProfileEdits(text, edits, count))
            return ERROR_INVALID_PARAMETER;
        if (text.empty())
            return ERROR_SUCCESS;
        error = OpenForCommit(path, OPEN_ALWAYS, config);
    }
    if (!error)
        error = ReadText(config.get(), old);
    if (error)
        return error;
    std::string text = old;
    if (!ApplyProfileEdits(text, edits, count))
        return ERROR_INVALID_PARAMETER;
    if (text == old)
        return ERROR_SUCCESS; // a pass that finds the same address writes no LastIP, for one

    if ((error = journal.Write(kInUse, old)) != ERROR_SUCCESS)
        return error;
    if ((error = Overwrite(config.get(), NULL, 0, text)) != ERROR_SUCCESS) {
        config.reset();
        RollBack(journal, path); // left in use when even that fails: the next access puts it back
        return error;
    }
    ++journal.header.commits;
    journal.Write(kIdle, std::string()); // left in use, the next access puts back the old text: still whole
    return ERROR_SUCCESS;
}

// The journal as this process last found it idle: its size and last-write
// time. Every commit rewrites the journal (in use, then idle), so a journal
// still as it was then is still idle and its header is not read again.
struct IdleJournal {
    std::string path;
    WIN32_FILE_ATTRIBUTE_DATA seen = {};
};

CriticalSection g_idleLock;
IdleJournal g_idle;

bool StatJournal(const std::string &path, WIN32_FILE_ATTRIBUTE_DATA &data)
{
    return GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data) &&
           !(data.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

bool SameStat(const WIN32_FILE_ATTRIBUTE_DATA &a, const WIN32_FILE_ATTRIBUTE_DATA &b)
{
    return CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0 && a.nFileSizeHigh == b.nFileSizeHigh &&
           a.nFileSizeLow == b.nFileSizeLow;
}

DWORD Finish(const char *path, bool *restored)
{
    std::string journalPath = JournalPath(path);
    // Taken before the header is read: a journal written meanwhile differs
    // from it at the next read.
    WIN32_FILE_ATTRIBUTE_DATA stat = {};
    bool hasStat = StatJournal(journalPath, stat);
    {
        CriticalSectionLock lock(g_idleLock);
        if (hasStat && lstrcmpiA(g_idle.path.c_str(), journalPath.c_str()) == 0 && SameStat(stat, g_idle.seen))
            return ERROR_SUCCESS;
        g_idle.path.clear();
    }
    DWORD state = kIdle;
    if (DWORD error = ReadJournalState(journalPath, state))
        return error;
    if (state != kInUse) {
        if (hasStat) {
            CriticalSectionLock lock(g_idleLock);
            g_idle.path = journalPath;
            g_idle.seen = stat;
        }
        return ERROR_SUCCESS;
    }
    // Putting the old text back writes: a reader, the elevated utility
    // among them, does it only in the real data folder, as any writer.
    if (!MayWriteInDataFolder(path))
        return Failure(ERROR_ACCESS_DENIED);
    Journal journal;
    DWORD error = journal.Open(journalPath);
    bool putBack = journal.inUse;
    if (!error)
        error = RollBack(journal, path);
    if (!error && restored)
        *restored = putBack;
    return error;
}

} // namespace

bool CommitEdits(const char *path, const ProfileEdit *edits, size_t count)
{
    DWORD error = Commit(path, edits, count);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool FinishInterruptedCommit(const char *path, bool *restored)
{
    if (restored)
        *restored = false;
    DWORD error = Finish(path, restored);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
