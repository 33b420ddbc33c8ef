// RecordFailure and GetLastFailure: the cause of the calling thread's last
// failed exchange, for the programs' log records and messages.
#include "last_failure.h"
#include "tallib.h"

#include <windows.h>

namespace {

// One slot per thread, as GetLastError keeps its code: the configuration
// utility checks the address and downloads the host list at the same time
// on two worker threads, and each reads its own call's cause.
thread_local char t_lastFailure[256] = "";

} // namespace

void RecordFailure(const std::string &cause) { lstrcpynA(t_lastFailure, cause.c_str(), sizeof t_lastFailure); }

int TALAPI GetLastFailure(char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    lstrcpynA(buffer, t_lastFailure, size);
    return lstrlenA(buffer);
}
