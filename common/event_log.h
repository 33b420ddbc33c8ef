// Reports to the Windows Event Log, source "Talvex Updater" (registered by
// the installer, its messages in TalLib.dll, identifiers in the generated
// talvex_events.h). Callers report an outcome when it changes, never at
// every pass: administrators' tools read these by source and identifier.
#pragma once

#include <windows.h>

#include "talvex_events.h"

// The Event Log source, the same name as the service.
constexpr char kEventSource[] = "Talvex Updater";

// type: EVENTLOG_INFORMATION_TYPE, EVENTLOG_WARNING_TYPE or
// EVENTLOG_ERROR_TYPE; first and second fill %1 and %2 (NULL for none).
// False when the Event Log could not be reached; nothing else is done
// then: the log file, wherever it can be written, holds the same outcome.
bool ReportAdminEvent(DWORD id, WORD type, const char *first, const char *second);
