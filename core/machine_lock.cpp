// The locks that serialize every program's access to the shared files:
// one byte each of the data folder's "talvex.lock", locked with LockFileEx.
//
// Named mutexes served for this once, and a machine-wide name can be made
// first by any user, with rights of his own that shut every other program
// out. A byte-range lock needs a file, and this one is made by the
// installer, owned by Administrators, with the data files' rights: every
// account may open it to lock a byte, none may make it, delete it,
// re-permission it or put a link in its place. A program makes a missing
// one only when what it makes belongs to a trusted owner (an elevated
// administrator, SYSTEM), and uses one only when its owner is trusted.
//
// Byte-range locks belong to a handle and cannot wait with a time limit, so
// the threads of a process first take turns on a mutex of the process's
// own: a thread may nest the lock, and only its outermost hold locks the
// byte, polling until the time limit. The process opens the file once for
// all the bytes it holds at a time, and closes it with the last. A process that
// ends or crashes releases its bytes with its handles; an interrupted
// commit is put back by the next holder (config_commit.cpp).
#include "tallib.h"
#include "internal.h"

#include "data_folder_check.h"

#include <aclapi.h>
#include <string.h>

#include <new>

namespace {

// Nobody may be blocked forever by a process that hangs while holding a
// lock: after its wait (kSharedLockWaitMs for the files) a reader or a log
// record goes ahead unserialized, a configuration writer fails
// (profile.cpp), and a pass goes ahead on its own.
const DWORD kLongestPollMs = 16;

// What a process keeps of one lock. `turn` is created once and kept; the
// rest is touched only by the thread that holds `turn`.
struct LockState {
    ScopedHandle turn;
    bool held = false; // its byte locked, through g_file
    int depth = 0;
};

// Guards what the process keeps of the locks: the turns made, the lock
// file and the one last checked.
CriticalSection g_processKept;
LockState g_locks[3];

HANDLE Turn(LockState &state)
{
    CriticalSectionLock lock(g_processKept);
    if (!state.turn)
        state.turn.reset(CreateMutexA(NULL, FALSE, NULL));
    return state.turn.get();
}

bool InDataFolder(const char *path)
{
    const char *folder = Paths().dataFolder;
    size_t length = strlen(folder);
    return length > 0 && _strnicmp(path, folder, length) == 0;
}

// Whether the files this process makes belong to a trusted owner: the
// token's default owner is Administrators for an elevated administrator,
// SYSTEM for the system, the user himself otherwise.
bool MakesTrustedFiles()
{
    static const bool trusted = [] {
        ScopedHandle token;
        BYTE buffer[sizeof(TOKEN_OWNER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        HANDLE opened = NULL;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
            return false;
        token.reset(opened);
        return GetTokenInformation(token.get(), TokenOwner, buffer, sizeof buffer, &size) &&
               OwnerIsTrusted(((TOKEN_OWNER *)buffer)->Owner);
    }();
    return trusted;
}

bool OwnedByTrusted(HANDLE file)
{
    PSID owner = NULL; // points into the descriptor
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    return GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                           descriptor.out()) == ERROR_SUCCESS &&
           OwnerIsTrusted(owner);
}

// The lock file this process last opened and checked in full, by its
// identity: a file keeps its volume and index for as long as it exists, so
// one opened again with that identity, plain and with one name, is the
// file checked, wherever its name led. Touched under g_processKept.
struct CheckedFile {
    bool known = false;
    DWORD volume = 0, indexHigh = 0, indexLow = 0;
};
CheckedFile g_checked;

bool IsPlainWithOneName(HANDLE file, BY_HANDLE_FILE_INFORMATION &info)
{
    return GetFileInformationByHandle(file, &info) && info.nNumberOfLinks == 1 &&
           !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
}

bool IsCheckedFile(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    CriticalSectionLock lock(g_processKept);
    return g_checked.known && IsPlainWithOneName(file, info) && info.dwVolumeSerialNumber == g_checked.volume &&
           info.nFileIndexHigh == g_checked.indexHigh && info.nFileIndexLow == g_checked.indexLow;
}

void RememberChecked(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info = {};
    CriticalSectionLock lock(g_processKept);
    g_checked.known = IsPlainWithOneName(file, info);
    g_checked.volume = info.dwVolumeSerialNumber;
    g_checked.indexHigh = info.nFileIndexHigh;
    g_checked.indexLow = info.nFileIndexLow;
}

// Opens the lock file as the other shared files are opened (no link, one
// name, in the real data folder); ERROR_SUCCESS or the reason. Every read
// of the configuration takes a lock, so the full checks are made once per
// file: an open that finds the file already checked costs no more than
// the open.
DWORD OpenLockFile(ScopedFile &file)
{
    const char *path = Paths().lockFile;
    if (!path[0])
        return ERROR_PATH_NOT_FOUND;
    // Reading is all a byte-range lock asks for, and it leaves every other
    // open of the file possible.
    const DWORD access = FILE_GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    file.reset(CreateFileA(path, access, share, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    if (file && IsCheckedFile(file.get()))
        return ERROR_SUCCESS;
    DWORD error = OpenPlainDataFile(path, access, share, OPEN_EXISTING, file);
    if (error == ERROR_FILE_NOT_FOUND && (!InDataFolder(path) || MakesTrustedFiles()))
        error = OpenPlainDataFile(path, access, share, OPEN_ALWAYS, file);
    if (error == ERROR_SUCCESS && InDataFolder(path) && !OwnedByTrusted(file.get())) {
        file.reset();
        OutputDebugStringA("Talvex Updater: talvex.lock belongs to an account other than Administrators or SYSTEM; "
                           "the shared files are used without their lock.\n");
        error = ERROR_ACCESS_DENIED;
    }
    if (error == ERROR_SUCCESS)
        RememberChecked(file.get());
    return error;
}

// The lock file, open while a thread of this process holds or waits for
// any of its bytes: one handle for them all, so that the many reads of a
// pass, made while it holds the pass lock, open nothing. Under
// g_processKept.
ScopedFile g_file;
int g_bytesUsing = 0;

// The open lock file for one more byte; NULL, with the reason, when it
// cannot be opened.
HANDLE UseLockFile(DWORD &error)
{
    CriticalSectionLock lock(g_processKept);
    if (!g_file && (error = OpenLockFile(g_file)) != ERROR_SUCCESS) {
        g_file.reset();
        return NULL;
    }
    ++g_bytesUsing;
    return g_file.get();
}

// Closed with the last byte let go: a data folder an administrator removes
// is then never kept by a program that only waits for its next pass.
void LetGoLockFile()
{
    CriticalSectionLock lock(g_processKept);
    if (--g_bytesUsing == 0)
        g_file.reset();
}

DWORD Remaining(DWORD start, DWORD waitMs)
{
    DWORD spent = GetTickCount() - start;
    return spent < waitMs ? waitMs - spent : 0;
}

// Locks the byte, tried again until the time limit while another process
// holds it.
DWORD LockByte(HANDLE file, DWORD offset, DWORD start, DWORD waitMs)
{
    for (DWORD pause = 1;; pause = pause < kLongestPollMs ? pause * 2 : kLongestPollMs) {
        OVERLAPPED at = {};
        at.Offset = offset;
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            return ERROR_SUCCESS;
        DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION)
            return error != ERROR_SUCCESS ? error : ERROR_LOCK_FAILED;
        DWORD left = Remaining(start, waitMs);
        if (left == 0)
            return ERROR_TIMEOUT;
        Sleep(pause < left ? pause : left);
    }
}

} // namespace

MachineLock::MachineLock(SharedLock which, DWORD waitMs) : index((int)which)
{
    DWORD start = GetTickCount();
    LockState &state = g_locks[index];
    HANDLE turn = Turn(state);
    if (!turn) {
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_NOT_ENOUGH_MEMORY;
        return;
    }
    DWORD waited = WaitForSingleObject(turn, waitMs);
    if (waited == WAIT_ABANDONED)
        state.depth = 0; // a thread ended holding it; a byte it locked is still this process's
    else if (waited != WAIT_OBJECT_0) {
        error = waited == WAIT_TIMEOUT ? ERROR_TIMEOUT : GetLastError();
        return;
    }
    if (!state.held) {
        HANDLE file = UseLockFile(error);
        if (file && (error = LockByte(file, (DWORD)index, start, waitMs)) != ERROR_SUCCESS)
            LetGoLockFile();
        if (error != ERROR_SUCCESS) {
            ReleaseMutex(turn);
            return;
        }
        state.held = true;
    }
    ++state.depth;
    owned = true;
}

MachineLock::~MachineLock()
{
    if (!owned)
        return;
    LockState &state = g_locks[index];
    if (--state.depth == 0) {
        OVERLAPPED at = {};
        at.Offset = (DWORD)index;
        UnlockFileEx(g_file.get(), 0, 1, 0, &at); // open while this byte uses it
        state.held = false;
        LetGoLockFile();
    }
    ReleaseMutex(state.turn.get());
}

namespace {

MachineLock *g_pass = nullptr; // the pass thread's hold, between Pass_Begin and Pass_End

} // namespace

int TALAPI Pass_Begin(unsigned waitMs)
{
    if (g_pass)
        return 1;
    MachineLock *pass = new (std::nothrow) MachineLock(SharedLock::Pass, waitMs);
    if (!pass) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!pass->owned) {
        DWORD error = pass->error;
        delete pass;
        SetLastError(error);
        return 0;
    }
    g_pass = pass;
    return 1;
}

void TALAPI Pass_End(void)
{
    delete g_pass;
    g_pass = nullptr;
}
