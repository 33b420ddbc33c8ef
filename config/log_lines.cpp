// Making Logs page rows of the log file's text.
#include "log_lines.h"

#include <algorithm>

namespace {

// The entry's level from the first field: only "1" and "2" colour a row.
int LevelOf(const char *field, size_t length)
{
    if (length == 1 && (field[0] == '1' || field[0] == '2'))
        return field[0] - '0';
    return 0;
}

// Adds the row of the line [start, end) of log.text, if it has one.
void ParseLine(LogText &log, size_t start, size_t end)
{
    const char *text = log.text.data();
    if (end > start && text[end - 1] == '\r')
        --end;
    size_t tab1 = log.text.find('\t', start);
    if (tab1 == std::string::npos || tab1 >= end)
        return; // no second field, no row
    LogRow row;
    row.level = LevelOf(text + start, tab1 - start);
    row.time = tab1 + 1;
    size_t tab2 = log.text.find('\t', row.time);
    if (tab2 == std::string::npos || tab2 >= end) {
        row.timeLength = end - row.time;
    } else {
        row.timeLength = tab2 - row.time;
        row.hasDescription = true;
        row.description = tab2 + 1;
        size_t tab3 = log.text.find('\t', row.description);
        size_t descriptionEnd = (tab3 == std::string::npos || tab3 >= end) ? end : tab3;
        row.descriptionLength = descriptionEnd - row.description;
    }
    log.rows.push_back(row);
}

std::string Field(const LogText &log, size_t offset, size_t length)
{
    return log.text.substr(offset, std::min(length, kLogFieldMax));
}

} // namespace

void ResetLog(LogText &log)
{
    log.text.clear();
    log.rows.clear();
    log.tailStart = 0;
    log.rowsBeforeTail = 0;
}

void AppendLog(LogText &log, const char *bytes, size_t length)
{
    log.text.append(bytes, length);
    // The old last line is read again with what was appended to it.
    log.rows.resize(log.rowsBeforeTail);
    size_t start = log.tailStart;
    for (;;) {
        size_t end = log.text.find('\n', start);
        if (end == std::string::npos)
            break;
        ParseLine(log, start, end);
        start = end + 1;
    }
    log.tailStart = start;
    log.rowsBeforeTail = log.rows.size();
    if (start < log.text.size())
        ParseLine(log, start, log.text.size());
}

bool AnyDescription(const LogText &log)
{
    return std::any_of(log.rows.begin(), log.rows.end(), [](const LogRow &row) { return row.hasDescription; });
}

std::string RowTime(const LogText &log, const LogRow &row) { return Field(log, row.time, row.timeLength); }

std::string RowDescription(const LogText &log, const LogRow &row)
{
    return Field(log, row.description, row.descriptionLength);
}

std::string CopiedLines(const LogText &log, const std::vector<size_t> &rows)
{
    std::string text;
    bool first = true;
    for (size_t i : rows) {
        if (i >= log.rows.size())
            continue;
        if (!first)
            text += "\r\n";
        first = false;
        text += RowTime(log, log.rows[i]) + " - " + RowDescription(log, log.rows[i]);
    }
    return text;
}
