// The cause of the calling thread's last failed exchange, kept for
// GetLastFailure.
#pragma once

#include <string>

// Keeps the cause of a failed exchange (or "" after one that worked) for
// GetLastFailure on the calling thread only: the exported address check and
// host-list download record their call's cause as they return, so that two
// threads calling at once never read each other's.
void RecordFailure(const std::string &cause);
