// The one writer to the Event Log (event_log.h).
#include "event_log.h"

namespace {

// Deregisters the source handle on every path out.
struct EventSource {
    HANDLE handle = RegisterEventSourceA(NULL, kEventSource);
    ~EventSource()
    {
        if (handle)
            DeregisterEventSource(handle);
    }
};

} // namespace

bool ReportAdminEvent(DWORD id, WORD type, const char *first, const char *second)
{
    EventSource source;
    if (!source.handle)
        return false;
    const char *strings[2] = {first ? first : "", second ? second : ""};
    WORD count = second ? 2 : first ? 1 : 0;
    return ReportEventA(source.handle, type, 0, id, NULL, count, 0, strings, NULL) != FALSE;
}
