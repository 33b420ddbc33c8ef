// When the next timed pass comes: the quick retries after a failed address
// check, then the polling interval that the results back off.
#include "update_cycle.h"

#include "host_rules.h"

namespace {

// After the first, second, third and fourth failed check in a row; from the
// fifth on the polling interval applies again, so a machine that stays
// offline asks no more often than one that is online.
const DWORD kQuickRetryMs[] = {30000, 60000, 120000, 300000};

} // namespace

DWORD NextPassDelayMs(const EngineState &engine)
{
    unsigned failures = engine.addressFailures;
    if (failures >= 1 && failures <= sizeof kQuickRetryMs / sizeof kQuickRetryMs[0])
        return kQuickRetryMs[failures - 1];
    return engine.intervalMinutes * 60000u;
}

// The wait's time-out and the window timer do not count the time asleep,
// so a resume brings the pass forward; but the server's back-off ("911",
// "dnserr", ...) is kept to the minute: the pass waits until it ends.
ULONGLONG ResumePassDueMs(const EngineState &engine, ULONGLONG nowMs)
{
    ULONGLONG soon = nowMs + kResumePassDelayMs;
    if (engine.intervalMinutes <= kShortestIntervalMinutes)
        return soon;
    ULONGLONG backOffEnds = engine.lastPassMs + engine.intervalMinutes * 60000ull;
    return backOffEnds > soon ? backOffEnds : soon;
}
