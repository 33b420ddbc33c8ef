// The configuration utility's readers of the log file and of the saved
// host selection: the log read in two pieces makes the rows of the whole,
// every field lies within the text and is cut to 255 characters, and every
// selection name is bounded and stripped.
#include "host_selection.h"
#include "log_lines.h"
#include "fuzz_check.h"

#include <stdint.h>
#include <string.h>

namespace {

bool SameRows(const LogText &a, const LogText &b)
{
    if (a.rows.size() != b.rows.size())
        return false;
    for (size_t i = 0; i < a.rows.size(); ++i) {
        if (RowTime(a, a.rows[i]) != RowTime(b, b.rows[i]) ||
            RowDescription(a, a.rows[i]) != RowDescription(b, b.rows[i]) || a.rows[i].level != b.rows[i].level)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string first, second;
    SplitInput(data, size, first, second);

    LogText whole, pieces;
    AppendLog(whole, first.data(), first.size());
    size_t cut = size ? data[0] % (first.size() + 1) : 0;
    AppendLog(pieces, first.data(), cut);
    AppendLog(pieces, first.data() + cut, first.size() - cut);
    FUZZ_CHECK(SameRows(whole, pieces));
    for (const LogRow &row : whole.rows) {
        FUZZ_CHECK(row.time + row.timeLength <= whole.text.size());
        FUZZ_CHECK(row.description + row.descriptionLength <= whole.text.size());
        FUZZ_CHECK(RowTime(whole, row).size() <= kLogFieldMax);
        FUZZ_CHECK(RowTime(whole, row).find('\n') == std::string::npos);
        FUZZ_CHECK(RowDescription(whole, row).find('\t') == std::string::npos);
    }

    for (const std::string &name : SelectionNames(second.c_str())) {
        FUZZ_CHECK(!name.empty() && name.size() <= kSelectionPartMax);
        FUZZ_CHECK(strchr(" ,:;/\r\n", name.front()) == nullptr && strchr(" ,:;/\r\n", name.back()) == nullptr);
        FUZZ_CHECK(SelectionHasHost(second.c_str(), name));
    }
    std::string host = HostNameOf(second.data(), second.size());
    FUZZ_CHECK(host.size() <= kHostNameMax);
    return 0;
}
