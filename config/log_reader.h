// Reading the log file into the Logs page's text incrementally: only what
// was added when the file only grew, the whole (or its end) otherwise.
#pragma once

#include "log_lines.h"

// Brings log up to the file at path. With mayAppend, a file that still
// begins with what was read and only grew has just its new bytes appended;
// true then. False when the log was read anew (or emptied: no file).
// Only the last kMaxLogBytes of a longer file are read, from a whole line.
bool ReadLogFile(LogText &log, const char *path, bool mayAppend);

// The most of a (never truncated) log that is held in memory.
const unsigned long long kMaxLogBytes = 64ull * 1024 * 1024;
