// RecordFailure and GetLastFailure: the cause of this process's last failed
// exchange, for the programs' log records and messages.
#include "last_failure.h"
#include "tallib.h"

#include <windows.h>

namespace {

// The cause of this process's last failed exchange; SRWLOCK_INIT needs no
// set-up, so the record works from the first call on any thread.
SRWLOCK g_failureLock = SRWLOCK_INIT;
char g_lastFailure[256] = "";

} // namespace

void RecordFailure(const std::string &cause)
{
    AcquireSRWLockExclusive(&g_failureLock);
    lstrcpynA(g_lastFailure, cause.c_str(), sizeof g_lastFailure);
    ReleaseSRWLockExclusive(&g_failureLock);
}

int TALAPI GetLastFailure(char *buffer, int size)
{
    int length = 0;
    if (!buffer || size <= 0)
        return 0;
    AcquireSRWLockShared(&g_failureLock);
    lstrcpynA(buffer, g_lastFailure, size);
    length = lstrlenA(buffer);
    ReleaseSRWLockShared(&g_failureLock);
    return length;
}
