// TalLib's reports to the Event Log: what the storage code says to
// administrators when the configuration cannot be saved or was put back.
#include "internal.h"

#include "event_log.h"

void ReportConfigNotSaved(const char *path, const char *cause)
{
    ReportAdminEvent(kEventConfigNotSaved, EVENTLOG_ERROR_TYPE, path, cause);
}

void ReportConfigPutBack(const char *path)
{
    ReportAdminEvent(kEventConfigPutBack, EVENTLOG_WARNING_TYPE, path, NULL);
}
