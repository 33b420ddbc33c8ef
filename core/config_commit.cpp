// Writes a set of edits to the configuration file so that a crash at any
// moment leaves the old or the new configuration, never an empty or cut one.
//
// A private-profile write truncates the file and then writes it again, so a
// process killed in between left an empty file. The file cannot simply be
// replaced by a renamed copy: a rename needs the right to delete the file,
// which no user has on the configuration (it belongs to Administrators so
// that nobody can delete or re-permission it), and a copy would take the
// renaming user as its owner. So the file is written in place, as itself,
// behind a rollback journal beside it ("config.talvex.journal"):
//   1. the whole current content goes into the journal, marked in use, and
//      the journal is flushed to disk;
//   2. the edits are applied to the file with the system's own profile
//      calls (so case, first match, deletion and where new keys go stay
//      exactly as every reader expects), and the file is flushed;
//   3. the journal is marked idle.
// Whoever next takes the configuration lock, to read or to write, finds a
// journal still in use and puts its content back first. A journal cut short
// (a crash in step 1) is never applied: the file was not yet touched.
#include "internal.h"

#include <string.h>

#include <string>

namespace {

const char kJournalSuffix[] = ".journal";
const char kMagic[4] = {'T', 'V', 'X', 'J'};
const DWORD kIdle = 0, kInUse = 1;

// The journal starts with this header; in use, the old content follows.
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

bool ReadAll(HANDLE file, std::string &text, DWORD size)
{
    text.resize(size);
    DWORD read = 0;
    if (size && (!ReadFile(file, text.data(), size, &read, NULL) || read != size))
        return false;
    return true;
}

bool WriteAll(HANDLE file, const void *data, DWORD size)
{
    DWORD written = 0;
    return size == 0 || (WriteFile(file, data, size, &written, NULL) && written == size);
}

bool Rewind(HANDLE file) { return SetFilePointer(file, 0, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER; }

// The configuration's journal, opened by the lock's owner only. A journal
// that is a link or a second name of another file is refused: an elevated
// writer would otherwise copy the configuration into, and cut, whatever it
// leads to.
struct Journal {
    ScopedFile file;
    JournalHeader header = {};
    bool inUse = false;
    std::string saved; // the content it holds while in use

    explicit Journal(const std::string &path)
    {
        file.reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!file || !GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks > 1 ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            file.reset();
            return;
        }
        DWORD read = 0;
        if (!ReadFile(file.get(), &header, sizeof header, &read, NULL) || read != sizeof header ||
            memcmp(header.magic, kMagic, sizeof kMagic) != 0) {
            header = JournalHeader{}; // empty (as the installer makes it) or never finished: idle
            return;
        }
        // Users may write the journal: one claiming more than a configuration
        // can hold is damage, never read (nor allocated for).
        inUse = header.state == kInUse && header.length <= kConfigReadMax && info.nFileSizeHigh == 0 &&
                info.nFileSizeLow == sizeof header + header.length && ReadAll(file.get(), saved, header.length) &&
                Checksum(saved) == header.checksum;
    }

    bool Write(DWORD state, const std::string &content)
    {
        memcpy(header.magic, kMagic, sizeof kMagic);
        header.state = state;
        header.length = (DWORD)content.size();
        header.checksum = Checksum(content);
        return Rewind(file.get()) && WriteAll(file.get(), &header, sizeof header) &&
               WriteAll(file.get(), content.data(), (DWORD)content.size()) && SetEndOfFile(file.get()) &&
               FlushFileBuffers(file.get());
    }

    bool MarkInUse(const std::string &content) { return Write(kInUse, content); }
    bool MarkIdle() { return Write(kIdle, std::string()); }
};

std::string JournalPath(const char *path) { return std::string(path) + kJournalSuffix; }

// Drops whatever copy of the file the profile functions keep in memory.
void ForgetCachedProfile(const char *path) { WritePrivateProfileStringA(NULL, NULL, NULL, path); }

// The file's whole content; `exists` false when there is none.
bool ReadConfig(const char *path, std::string &content, bool &exists)
{
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    exists = (bool)file;
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    LARGE_INTEGER size = {};
    return GetFileSizeEx(file.get(), &size) && size.QuadPart <= kConfigReadMax &&
           ReadAll(file.get(), content, (DWORD)size.QuadPart);
}

// Writes content over the file in place: the file keeps its owner and rights.
bool WriteConfig(const char *path, const std::string &content)
{
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    bool done = file && WriteAll(file.get(), content.data(), (DWORD)content.size()) && SetEndOfFile(file.get()) &&
                FlushFileBuffers(file.get());
    ForgetCachedProfile(path);
    return done;
}

bool FlushConfig(const char *path)
{
    ScopedFile file(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    if (!file)
        return GetLastError() == ERROR_FILE_NOT_FOUND; // deletions in a missing file write nothing
    return FlushFileBuffers(file.get());
}

// Puts back what an interrupted commit had saved.
bool RollBack(Journal &journal, const char *path)
{
    if (journal.inUse && !WriteConfig(path, journal.saved))
        return false;
    journal.inUse = false;
    return journal.MarkIdle();
}

bool ApplyEdits(const char *path, const ProfileEdit *edits, size_t count)
{
    ForgetCachedProfile(path);
    bool applied = true;
    for (size_t i = 0; i < count && applied; ++i) {
        const ProfileEdit &e = edits[i];
        applied = WritePrivateProfileStringA(e.section.c_str(), e.hasKey ? e.key.c_str() : NULL,
                                             e.hasValue ? e.value.c_str() : NULL, path) != FALSE;
    }
    ForgetCachedProfile(path);
    return applied;
}

// True when every edit leaves the file as it reads already: a key set to
// the value it holds, a key or a section deleted that is not there. Such a
// commit writes nothing (a pass that finds the same address writes no
// LastIP, for one).
bool ChangesNothing(const char *path, const ProfileEdit *edits, size_t count)
{
    const char kAbsent[] = "\x01";
    char value[1024];
    ForgetCachedProfile(path);
    for (size_t i = 0; i < count; ++i) {
        const ProfileEdit &e = edits[i];
        if (!e.hasKey) {
            if (GetPrivateProfileSectionA(e.section.c_str(), value, sizeof value, path) != 0)
                return false;
            continue;
        }
        DWORD n = GetPrivateProfileStringA(e.section.c_str(), e.key.c_str(), kAbsent, value, sizeof value, path);
        bool absent = lstrcmpA(value, kAbsent) == 0;
        if (n >= sizeof value - 1 || (e.hasValue ? absent || e.value != value : !absent))
            return false;
    }
    return true;
}

} // namespace

bool FinishInterruptedCommit(const char *path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    std::string journalPath = JournalPath(path);
    // An idle journal is exactly one header long: only a longer one is read.
    if (!GetFileAttributesExA(journalPath.c_str(), GetFileExInfoStandard, &data) ||
        (data.nFileSizeHigh == 0 && data.nFileSizeLow <= sizeof(JournalHeader)))
        return true;
    // Putting the old content back writes: a reader, the elevated utility
    // among them, does it only in the real data folder, as any writer.
    if (!MayWriteInDataFolder(path))
        return false;
    Journal journal(journalPath);
    return journal.file && (!journal.inUse || RollBack(journal, path));
}

bool CommitEdits(const char *path, const ProfileEdit *edits, size_t count)
{
    Journal journal(JournalPath(path));
    if (!journal.file)
        return false;
    if (journal.inUse && !RollBack(journal, path))
        return false;
    if (ChangesNothing(path, edits, count))
        return true;

    std::string old;
    bool existed = false;
    if (!ReadConfig(path, old, existed) || !journal.MarkInUse(old))
        return false;
    journal.inUse = true;
    journal.saved = old;
    if (!ApplyEdits(path, edits, count) || !FlushConfig(path)) {
        RollBack(journal, path); // left in use when even that fails: the next access puts it back
        return false;
    }
    ++journal.header.commits;
    journal.MarkIdle(); // left in use, the next access puts back the old content: still whole
    return true;
}
