// When the next timed pass comes: the quick retries after a failed address
// check, then the polling interval that the results back off.
#include "update_cycle.h"

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
