// The log file as the Logs page shows it: each line split at tabs into the
// entry's level, its time and its description. Pure text, no Win32 call,
// so that the rules are tested without a window.
#pragma once

#include <stddef.h>

#include <string>
#include <vector>

// One row of the log list; the texts stay in LogText::text.
struct LogRow {
    size_t time = 0;             // offset and length of the second field
    size_t timeLength = 0;
    size_t description = 0;      // the third field; empty when there is none
    size_t descriptionLength = 0;
    bool hasDescription = false;
    int level = 0;               // 1 warning, 2 error, any other level 0
};

// What has been read of the log file and the rows made of it. The last
// line of the file has no line end yet and may still grow (a record can be
// continued on its line), so it is parsed again whenever bytes are appended.
struct LogText {
    std::string text;
    std::vector<LogRow> rows;
    size_t tailStart = 0;        // where the unterminated last line begins
    size_t rowsBeforeTail = 0;   // rows made of whole lines
};

// Longest field text a row shows or copies.
const size_t kLogFieldMax = 255;

void ResetLog(LogText &log);

// Appends bytes read from the file and makes rows of every line they
// complete or extend. Lines end at "\n" (a "\r" before it is dropped); a
// line without a tab makes no row; fields after the third are ignored.
void AppendLog(LogText &log, const char *bytes, size_t length);

// Whether any row has a description (the column widths are set then).
bool AnyDescription(const LogText &log);

std::string RowTime(const LogText &log, const LogRow &row);
std::string RowDescription(const LogText &log, const LogRow &row);

// "time - description" of each row, joined by "\r\n", no separator after
// the last.
std::string CopiedLines(const LogText &log, const std::vector<size_t> &rows);
