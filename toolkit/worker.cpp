// Starting a worker thread, and saying why when none can be had.
#include "worker.h"

#include "error_text.h"
#include "tallib.h"

#include <string>

ScopedHandle StartWorker(LPTHREAD_START_ROUTINE work, void *parameter, const char *failure)
{
    ScopedHandle thread(CreateThread(NULL, 0, work, parameter, 0, NULL));
    if (!thread) {
        DWORD error = GetLastError();
        LogToFile((std::string(failure) + " Windows " + DescribeError(error) + ".").c_str(), LOG_NEW_RECORD,
                  LOG_WARNING);
        SetLastError(error); // for the caller's own message
    }
    return thread;
}
