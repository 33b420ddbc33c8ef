// What the updaters tell administrators through the Event Log: the
// service's start and stop, and each pass's outcome when it changes (never
// at every pass). The decisions are pure and kept apart from the writing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct AdminEvent {
    DWORD id;
    WORD type; // EVENTLOG_INFORMATION_TYPE, _WARNING_TYPE or _ERROR_TYPE
    std::string first, second;
};

// What the events already said, kept for the life of the process.
struct AdminEventsState {
    bool started = false;      // the first pass has set lastLevel
    int lastLevel = 0;         // the result level last reported (a stored warning counts)
    std::string lastAddress;   // the address hosts were last reported pointing to
    ULONGLONG failingSince = 0; // when the address check began failing, in ms
    bool addressReported = false;
};

// A pass's answer: the code as the cycle applied it, the level it stored,
// the address sent and the hosts named.
std::vector<AdminEvent> DecideAnswerEvents(AdminEventsState &state, int code, int level, const char *address,
                                           const char *hosts);
// After each address check: failures in a row (0 after one that worked),
// the time now in ms, the address or the cause of the failure in words.
std::vector<AdminEvent> DecideAddressEvents(AdminEventsState &state, unsigned failures, ULONGLONG nowMs,
                                            const char *addressOrCause);

// The address check has failed this long before administrators are told.
const ULONGLONG kAddressFailureReportMs = 60ull * 60 * 1000;

// Hooks of the update cycle, which write the events decided above: after
// the address check (the failures in a row, the status the pass began
// with, the current address), and after an answer was applied (the code
// and the level stored).
void NoteAddressCheck(unsigned failures, int status, const char *address);
void NotePassAnswer(int code, int level, const char *address, const char *hosts);

void ReportServiceStarted();
void ReportServiceStopped();
