// The texts of the log, its timestamps and the support report, as pure
// functions: text in, text out, no Win32 call and no I/O.
#pragma once

#include "config_keys.h"

#include <windows.h>

#include <string>

// Writes the timestamp of t and its terminator into out (20 bytes or more).
void FormatTimestamp(const SYSTEMTIME &t, char *out);

// Reads the six fields from their fixed places (separators ignored; a
// field's value is its leading digits, 0 when there are none). False when
// text is null or shorter than a timestamp. The date is not validated.
bool ParseTimestamp(const char *text, SYSTEMTIME *t);

// Message text for one line of the log: every control character (line
// breaks, tabs, ...) becomes a space, so no message can end its record
// early or add a field. A null message is empty.
std::string CleanLogText(const char *message);

// One new record, "level<TAB>timestamp<TAB>message", preceded by CR LF when
// the log already holds text.
std::string NewLogRecord(unsigned level, const char *timestamp, const char *message, bool logHasText);

// Whether a configuration line is left out of the support report: it names
// a key beginning with "Password" (in any case, after leading blanks, as
// the profile functions would read it), so no scrambled password leaves.
bool IsPasswordLine(const std::string &line);

// Appends the configuration text to the report line by line, each line
// ended by CR LF, leaving out password lines. Copying stops at the first
// line longer than kReportLineMax characters.
const size_t kReportLineMax = 511;
void AppendConfigLines(const std::string &configuration, std::string &report);

// Everything of the support report before the log file's bytes: product,
// user agent, how the updater runs (runningAs may be NULL: no such line),
// the configuration file without password lines and the log's header.
std::string SupportReportHead(const char *runningAs, const char *configurationPath,
                              const std::string &configuration, const char *logPath);
