// The updaters' Event Log reports (admin_events.h): decided from what a
// pass found, written only when the outcome changes.
#include "admin_events.h"

#include "config_keys.h"
#include "event_log.h"
#include "tallib.h"
#include "update_results.h"

namespace {

// The answer word of a result code, as administrators know it from the
// log ("badauth - Authentication failed.").
std::string AnswerWord(int code)
{
    if (const UpdateResult *result = FindUpdateResult(code))
        return result->word;
    return "code " + std::to_string(code);
}

// Passes never overlap in either host, so one record serves the process.
AdminEventsState g_events;

void Write(const std::vector<AdminEvent> &events)
{
    for (const AdminEvent &event : events)
        ReportAdminEvent(event.id, event.type, event.first.c_str(), event.second.empty() ? NULL : event.second.c_str());
}

} // namespace

std::vector<AdminEvent> DecideAnswerEvents(AdminEventsState &state, int code, int level, const char *address,
                                           const char *hosts)
{
    std::vector<AdminEvent> events;
    std::string word = AnswerWord(code);
    if (level == kStatusCritical)
        events.push_back({kEventCriticalStop, EVENTLOG_ERROR_TYPE, word, hosts});
    else if (level == kStatusWarning && state.lastLevel != kStatusWarning)
        events.push_back({kEventUpdatingFails, EVENTLOG_WARNING_TYPE, word, hosts});
    else if (level == kStatusGood && state.lastLevel == kStatusWarning)
        events.push_back({kEventUpdatingWorks, EVENTLOG_INFORMATION_TYPE, word, hosts});
    if (level == kStatusGood && code == kResultGood && state.lastAddress != address) {
        events.push_back({kEventHostsUpdated, EVENTLOG_INFORMATION_TYPE, hosts, address});
        state.lastAddress = address;
    }
    state.lastLevel = level;
    return events;
}

std::vector<AdminEvent> DecideAddressEvents(AdminEventsState &state, unsigned failures, ULONGLONG nowMs,
                                            const char *addressOrCause)
{
    std::vector<AdminEvent> events;
    if (failures == 0) {
        if (state.addressReported)
            events.push_back({kEventAddressCheckWorks, EVENTLOG_INFORMATION_TYPE, addressOrCause, ""});
        state.addressReported = false;
        state.failingSince = 0;
        return events;
    }
    // The first failure of a run starts its clock: a run broken by a
    // resume from sleep (which starts the retries over) counts anew.
    if (failures == 1 || state.failingSince == 0)
        state.failingSince = nowMs;
    if (!state.addressReported && nowMs - state.failingSince >= kAddressFailureReportMs) {
        events.push_back({kEventAddressCheckFails, EVENTLOG_WARNING_TYPE, addressOrCause, ""});
        state.addressReported = true;
    }
    return events;
}

void NoteAddressCheck(unsigned failures, int status, const char *address)
{
    if (!g_events.started) {
        // A warning stored before this process began was reported then.
        g_events.started = true;
        g_events.lastLevel = status;
    }
    std::string text = address;
    if (failures > 0) {
        char cause[256] = "";
        GetLastFailure(cause, sizeof cause);
        text = cause[0] ? cause : "the address-check page gave no valid address";
    }
    Write(DecideAddressEvents(g_events, failures, GetTickCount64(), text.c_str()));
}

void NotePassAnswer(int code, int level, const char *address, const char *hosts)
{
    Write(DecideAnswerEvents(g_events, code, level, address, hosts));
}

void ReportServiceStarted() { ReportAdminEvent(kEventServiceStarted, EVENTLOG_INFORMATION_TYPE, NULL, NULL); }

void ReportServiceStopped() { ReportAdminEvent(kEventServiceStopped, EVENTLOG_INFORMATION_TYPE, NULL, NULL); }
