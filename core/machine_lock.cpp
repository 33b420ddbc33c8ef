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
// own: a thread may nest the lock, and only its outermost hold opens the
// file and locks the byte, polling until the time limit. A process that
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
    ScopedFile file; // open, its byte locked, while a thread of this process holds the lock
    int depth = 0;
};

CriticalSection g_turnsMade;
LockState g_locks[3];

HANDLE Turn(LockState &state)
{
    CriticalSectionLock lock(g_turnsMade);
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

// Opens the lock file as the other shared files are opened (no link, one
// name, in the real data folder); ERROR_SUCCESS or the reason.
DWORD OpenLockFile(ScopedFile &file)
{
    const char *path = Paths().lockFile;
    if (!path[0])
        return ERROR_PATH_NOT_FOUND;
    // Reading is all a byte-range lock asks for, and it leaves every other
    // open of the file possible.
    const DWORD access = FILE_GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    DWORD error = OpenPlainDataFile(path, access, share, OPEN_EXISTING, file);
    if (error == ERROR_FILE_NOT_FOUND && (!InDataFolder(path) || MakesTrustedFiles()))
        error = OpenPlainDataFile(path, access, share, OPEN_ALWAYS, file);
    if (error == ERROR_SUCCESS && InDataFolder(path) && !OwnedByTrusted(file.get())) {
        file.reset();
        OutputDebugStringA("Talvex Updater: talvex.lock belongs to an account other than Administrators or SYSTEM; "
                           "the shared files are used without their lock.\n");
        error = ERROR_ACCESS_DENIED;
    }
    return error;
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
    if (!state.file) {
        ScopedFile file;
        error = OpenLockFile(file);
        if (error == ERROR_SUCCESS)
            error = LockByte(file.get(), (DWORD)index, start, waitMs);
        if (error != ERROR_SUCCESS) {
            ReleaseMutex(turn);
            return;
        }
        state.file = std::move(file);
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
        UnlockFileEx(state.file.get(), 0, 1, 0, &at);
        state.file.reset(); // closing the handle would release the byte too
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
