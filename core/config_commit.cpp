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
//   4. the journal is marked idle, its change counter advanced.
// Whoever next takes the configuration lock, to read or to write, reads the
// journal's header and, when it says in use, puts the saved text back first.
//
// The rules, named where the code keeps them:
//   J1  Only the owner of the machine-wide lock writes either file; a
//       reader that could not have the lock reads and never puts back.
//   J2  The journal holds the whole old text, in use, flushed, before the
//       file is touched.
//   J3  The file is whole and flushed before the journal is marked idle.
//   J4  A commit succeeds only once the journal is idle on disk; until
//       then the caller keeps its edits.
//   J5  Only a journal in use whose length, checksum and size agree is put
//       back; any other is marked idle with nothing put back.
//   J6  Every commit and every put-back advances the journal's change
//       counter, so that a process's copy of the file is known stale even
//       when size and time stay the same.
//   J7  The file and the journal are written as themselves: plain files
//       with one name, reached through no link.
//   J8  A file keeps its encoding: one saved as UTF-16 is written as
//       UTF-16, never with an ANSI line in it.
//
//   the journal holds                      what happened          the next access
//   -------------------------------------  ---------------------  ---------------------------
//   nothing, or no header (as installed)   no commit yet          nothing to do
//   a header that says idle                commits all finished   nothing to do
//   "in use" and the whole old text        died in step 3 or 4,   the lock's owner puts the
//     (length, checksum and size agree;      or step 4 failed       text back (an empty text
//     the text may be empty)                 (the file may be cut)  too: the first save into an
//                                                                   empty file), marks it idle;
//                                                                   a reader without the lock
//                                                                   reads the saved text
//   "in use" with a text cut or not its    died in step 2: the    puts nothing back, marks
//     own, or larger than a configuration    file is untouched      the journal idle
//   a link or a second name                planted                refused: nothing written
//
// Nothing is assumed atomic but that a flushed write stays written: the
// journal is whole on disk before the file is touched and the file before
// the journal is marked idle, and a torn header or text fails the checks
// above, so it is never put back. The state is read from the header, never
// guessed from the journal's size: a journal in use for an empty file is
// exactly one header long, as an idle one is. The header's layout is the
// one earlier versions wrote; its counter (once a count of commits alone)
// now also counts put-backs, which those versions never read.
//
// A virus scanner or a backup may hold either file for a moment: an open
// refused for sharing or a lock is tried again for up to two seconds, the
// write that marks the journal idle a few times. Every failure ends with
// the thread's last error set to the Windows error of the step that failed,
// for the caller to report.
#include "internal.h"

#include <string.h>

#include <string>

namespace {

const char kJournalSuffix[] = ".journal";
const char kMagic[4] = {'T', 'V', 'X', 'J'};
const DWORD kIdle = 0, kInUse = 1;
const int kIdleWriteTries = 5;

// The journal starts with this header; in use, the old text follows.
// `changes` counts the commits and put-backs made through this journal
// (J6).
#pragma pack(push, 1)
struct JournalHeader {
    char magic[4];
    DWORD state;
    unsigned long long changes;
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
    // Only the rights users hold on the data files (shared_objects.h):
    // GENERIC_WRITE would also ask for the attributes, which they lack.
    return OpenPlainDataFile(path, FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA, FILE_SHARE_READ,
                             disposition, file);
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

// Drops whatever copy of the file the profile functions keep in memory.
void ForgetCachedProfile(const char *path) { WritePrivateProfileStringA(NULL, NULL, NULL, path); }

// Marks the journal idle, tried again a few times: a scanner may hold a
// range of it for a moment. Until it is idle on disk no commit is done (J4).
DWORD MarkIdle(Journal &journal)
{
    DWORD error = ERROR_SUCCESS;
    for (int i = 0; i < kIdleWriteTries; ++i) {
        if (i > 0)
            Sleep(kHeldFileRetryMs);
        if ((error = journal.Write(kIdle, std::string())) == ERROR_SUCCESS)
            break;
    }
    return error;
}

// Puts back what an interrupted commit had saved, then marks the journal
// idle (also one cut short, whose commit never touched the file: J5).
DWORD RollBack(Journal &journal, const char *path)
{
    if (journal.inUse) {
        ScopedFile config;
        DWORD error = OpenForCommit(path, OPEN_ALWAYS, config); // J7
        if (!error)
            error = Overwrite(config.get(), NULL, 0, journal.saved);
        ForgetCachedProfile(path);
        if (error)
            return error;
        ++journal.header.changes; // J6: the text is not what readers last saw
    }
    return MarkIdle(journal);
}

DWORD Commit(const char *path, const ProfileEdit *edits, size_t count, ConfigText &found, bool &foundSet)
{
    if (!MayWriteInDataFolder(path))
        return Failure(ERROR_ACCESS_DENIED);
    Journal journal;
    DWORD error = journal.Open(JournalPath(path)); // J7
    if (!error && journal.inUse)
        error = RollBack(journal, path);
    if (error)
        return error;

    ScopedFile config;
    std::string old;
    error = OpenForCommit(path, OPEN_EXISTING, config); // J7
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
    found = DecodeConfigFile(old);
    foundSet = true;
    ConfigText edited = found;
    std::vector<ProfileEdit> converted = EditsInEncoding(found, edits, count); // J8
    if (!ApplyProfileEdits(edited.text, converted.data(), converted.size()))
        return ERROR_INVALID_PARAMETER;
    std::string text = EncodeConfigFile(edited);
    if (text == old)
        return ERROR_SUCCESS; // a pass that finds the same address writes no LastIP, for one

    if ((error = journal.Write(kInUse, old)) != ERROR_SUCCESS) // J2
        return error;
    if ((error = Overwrite(config.get(), NULL, 0, text)) != ERROR_SUCCESS) { // J3
        config.reset();
        RollBack(journal, path); // left in use when even that fails: the next access puts it back
        return error;
    }
    config.reset();
    ++journal.header.changes; // J6
    // J4: still in use, the next access puts back the old text, whole, and
    // the caller, told of the failure, keeps its edits for a later commit.
    return MarkIdle(journal);
}

DWORD Finish(const char *path, bool *restored)
{
    // Putting the old text back writes: a reader, the elevated utility
    // among them, does it only in the real data folder, as any writer.
    if (!MayWriteInDataFolder(path))
        return Failure(ERROR_ACCESS_DENIED);
    Journal journal;
    DWORD error = journal.Open(JournalPath(path)); // J7
    bool putBack = journal.inUse;
    if (!error)
        error = RollBack(journal, path);
    if (!error && restored)
        *restored = putBack;
    return error;
}

// The journal read as a reader may read it: shared, without waiting (every
// read looks here, and a scanner holding the journal must not cost each
// read two seconds), never written (J1).
DWORD View(const char *path, JournalView &view)
{
    view = JournalView{};
    ScopedFile file(CreateFileA(JournalPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : Failure(ERROR_OPEN_FAILED);
    JournalHeader header = {};
    DWORD read = 0;
    LARGE_INTEGER size = {};
    if (!ReadFile(file.get(), &header, sizeof header, &read, NULL) || !GetFileSizeEx(file.get(), &size))
        return Failure(ERROR_READ_FAULT);
    if (read != sizeof header || memcmp(header.magic, kMagic, sizeof kMagic) != 0)
        return ERROR_SUCCESS; // empty (as the installer makes it) or never finished: idle
    view.changes = header.changes;
    view.inUse = header.state == kInUse;
    // J5: only a whole saved text is worth anything to a reader.
    view.savedWhole = view.inUse && header.length <= kConfigReadMax &&
                      size.QuadPart == (LONGLONG)(sizeof header + header.length) &&
                      ReadAll(file.get(), view.saved, header.length) == ERROR_SUCCESS &&
                      Checksum(view.saved) == header.checksum;
    if (!view.savedWhole)
        view.saved.clear();
    return ERROR_SUCCESS;
}

} // namespace

bool CommitEdits(const char *path, const ProfileEdit *edits, size_t count, ConfigText *found, bool *foundSet)
{
    ConfigText text;
    bool set = false;
    DWORD error = Commit(path, edits, count, text, set);
    if (found)
        *found = std::move(text);
    if (foundSet)
        *foundSet = set;
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

bool ReadJournalView(const char *path, JournalView &view)
{
    DWORD error = View(path, view);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}
