// Pure formatting and parsing of log records, timestamps and report lines.
#include "log_format.h"

#include "talvex_settings.h"

#include <string.h>

namespace {

// Value of the leading decimal digits of text[pos, pos+width); 0 if none.
WORD FieldValue(const char *text, size_t pos, size_t width)
{
    unsigned value = 0;
    for (size_t i = pos; i < pos + width && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (unsigned)(text[i] - '0');
    return (WORD)value;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

} // namespace

void FormatTimestamp(const SYSTEMTIME &t, char *out)
{
    // Each field is cut to its width so the text is always 19 characters:
    // MM-dd-yyyy HH:mm:ss.
    const struct {
        unsigned value, width;
        char after;
    } fields[] = {{t.wMonth, 2, '-'}, {t.wDay, 2, '-'}, {t.wYear, 4, ' '},
                  {t.wHour, 2, ':'},  {t.wMinute, 2, ':'}, {t.wSecond, 2, '\0'}};
    for (const auto &field : fields) {
        unsigned value = field.value;
        for (unsigned i = field.width; i-- > 0; value /= 10)
            out[i] = (char)('0' + value % 10);
        out += field.width;
        *out++ = field.after;
    }
}

bool ParseTimestamp(const char *text, SYSTEMTIME *t)
{
    if (!text || !t || strnlen(text, kTimestampLength) < kTimestampLength)
        return false;
    ZeroMemory(t, sizeof *t);
    t->wMonth = FieldValue(text, 0, 2);
    t->wDay = FieldValue(text, 3, 2);
    t->wYear = FieldValue(text, 6, 4);
    t->wHour = FieldValue(text, 11, 2);
    t->wMinute = FieldValue(text, 14, 2);
    t->wSecond = FieldValue(text, 17, 2);
    return true;
}

std::string CleanLogText(const char *message)
{
    std::string text = message ? message : "";
    for (char &c : text) {
        unsigned char u = (unsigned char)c;
        if (u < 0x20 || u == 0x7F)
            c = ' ';
    }
    return text;
}

std::string NewLogRecord(unsigned level, const char *timestamp, const char *message, bool logHasText)
{
    std::string record = logHasText ? "\r\n" : "";
    record += std::to_string(level);
    record += '\t';
    record += CleanLogText(timestamp);
    record += '\t';
    record += CleanLogText(message);
    return record;
}

bool IsPasswordLine(const std::string &line)
{
    size_t start = 0;
    while (start < line.size() && IsBlank(line[start]))
        ++start;
    return line.size() - start >= sizeof kKeyPassword - 1 && _strnicmp(line.c_str() + start, kKeyPassword, sizeof kKeyPassword - 1) == 0;
}

void AppendConfigLines(const std::string &configuration, std::string &report)
{
    size_t pos = 0;
    while (pos < configuration.size()) {
        size_t end = configuration.find('\n', pos);
        size_t next = (end == std::string::npos) ? configuration.size() : end + 1;
        if (end == std::string::npos)
            end = configuration.size();
        std::string line = configuration.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kReportLineMax)
            break;
        if (!IsPasswordLine(line))
            report += line + "\r\n";
        pos = next;
    }
}

std::string SupportReportHead(const char *runningAs, const char *configurationPath,
                              const std::string &configuration, const char *logPath)
{
    const std::string rule = "----------------------------------------"; // 40 dashes
    std::string head = "Talvex Updater v" TALVEX_VERSION "\r\n";
    head += "User agent: " TALVEX_USER_AGENT "\r\n";
    if (runningAs)
        head += std::string("Running as: ") + runningAs + "\r\n";
    head += "\r\n" + rule + "\r\n";
    head += std::string("File1: ") + (configurationPath ? configurationPath : "") + "\r\n";
    head += rule + "\r\n\r\n";
    AppendConfigLines(configuration, head);
    head += "\r\n" + rule + "\r\n";
    head += std::string("File2: ") + (logPath ? logPath : "") + "\r\n";
    head += rule + "\r\n\r\n";
    return head;
}
