// The cause of this process's last failed exchange, kept for GetLastFailure.
#pragma once

#include <string>

// Keeps the cause of a failed exchange (or "" after one that worked) for
// GetLastFailure: the address check and the host list record theirs.
void RecordFailure(const std::string &cause);
