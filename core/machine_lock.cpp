// Machine-wide named mutexes that serialize access to the shared files.
#include "internal.h"
#include "shared_objects.h"

#include <sddl.h>
#include <string.h>

namespace {

// Nobody may be blocked forever by a process that hangs while holding a
// lock: after this wait a reader or a log record goes ahead unserialized,
// and a configuration writer fails (profile.cpp).
const DWORD kLockWaitMs = 10000;

// Each named mutex is created or opened once and its handle kept for the
// life of the process: an update pass takes the configuration's and the
// log's lock dozens of times, and making the object anew each time (its
// security descriptor converted, the object created and closed) costs more
// than the wait itself. Only the wait and the release are per access.
struct KeptHandle {
    const char *name = nullptr; // the callers' names are constants
    ScopedHandle handle;
};

const size_t kMutexesKept = 4;
CriticalSection g_mutexesLock;
KeptHandle g_mutexes[kMutexesKept];

HANDLE CreateNamedMutex(const char *name)
{
    ScopedLocal<PSECURITY_DESCRIPTOR> sd;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, FALSE};
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kLockSecurity, SDDL_REVISION_1, sd.out(), NULL))
        sa.lpSecurityDescriptor = sd.get();
    HANDLE mutex = CreateMutexExA(&sa, name, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
    if (!mutex)
        mutex = OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name);
    return mutex;
}

// The process's handle to the named mutex; NULL when it can be neither
// created nor opened, which is tried again at the next access. Past the
// handles kept, the handle is the caller's, in `unkept`.
HANDLE KeptMutex(const char *name, ScopedHandle &unkept)
{
    CriticalSectionLock lock(g_mutexesLock);
    KeptHandle *free = nullptr;
    for (KeptHandle &kept : g_mutexes) {
        if (kept.name && strcmp(kept.name, name) == 0)
            return kept.handle.get();
        if (!kept.name && !free)
            free = &kept;
    }
    HANDLE mutex = CreateNamedMutex(name);
    if (mutex && free) {
        free->name = name;
        free->handle.reset(mutex);
    } else {
        unkept.reset(mutex);
    }
    return mutex;
}

} // namespace

MachineLock::MachineLock(const char *name)
{
    mutex = KeptMutex(name, unkept);
    if (mutex) {
        DWORD r = WaitForSingleObject(mutex, kLockWaitMs);
        // An abandoned mutex is ours: a commit its holder left half done is
        // put back from the journal before the next read or write
        // (config_commit.cpp), and a log record is a single write.
        owned = (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED);
        if (owned)
            hold.reset(mutex);
    }
}
