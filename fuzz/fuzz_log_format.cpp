// Log records, timestamps and the support report's head: no message can
// end its record early, a written timestamp reads back, and no password
// line reaches the report.
#include "log_format.h"
#include "fuzz_check.h"

#include <stdint.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string first, second;
    SplitInput(data, size, first, second);

    std::string clean = CleanLogText(first.c_str());
    FUZZ_CHECK(clean.size() == first.size());
    for (char c : clean)
        FUZZ_CHECK((unsigned char)c >= 0x20 && c != 0x7f);
    std::string record = NewLogRecord(size % 3, "12-06-2026 19:05:07", first.c_str(), size % 2 == 0);
    FUZZ_CHECK(record.find('\n', 2) == std::string::npos);

    SYSTEMTIME read = {};
    if (ParseTimestamp(first.c_str(), &read)) {
        char written[32];
        FormatTimestamp(read, written);
        SYSTEMTIME again = {};
        FUZZ_CHECK(ParseTimestamp(written, &again));
        FUZZ_CHECK(memcmp(&read, &again, sizeof read) == 0);
    }

    std::string report = SupportReportHead(size % 2 ? "service" : NULL, "C:\\config.talvex", second, "C:\\talvex.log");
    size_t start = 0;
    for (size_t end = report.find("\r\n"); end != std::string::npos; end = report.find("\r\n", start)) {
        FUZZ_CHECK(!IsPasswordLine(report.substr(start, end - start)));
        start = end + 2;
    }
    return 0;
}
