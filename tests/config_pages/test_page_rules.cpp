// The pages' rules that need no window: how log lines become rows (also when
// the file grows in pieces), which hosts the saved selection re-checks, what
// the check commands do and what the copy commands put together.
#include "host_selection.h"
#include "log_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Row {
    std::string time, description;
    bool hasDescription;
    int level;
    bool operator==(const Row &o) const
    {
        return time == o.time && description == o.description && hasDescription == o.hasDescription &&
               level == o.level;
    }
};

std::ostream &operator<<(std::ostream &out, const Row &row)
{
    return out << "{" << row.time << "|" << row.description << "|" << row.hasDescription << "|" << row.level << "}";
}

std::vector<Row> RowsOf(const LogText &log)
{
    std::vector<Row> rows;
    for (const LogRow &row : log.rows)
        rows.push_back({RowTime(log, row), RowDescription(log, row), row.hasDescription, row.level});
    return rows;
}

std::vector<Row> Parse(const std::string &text)
{
    LogText log;
    AppendLog(log, text.data(), text.size());
    return RowsOf(log);
}

const std::string kLong(300, 'x');

struct LogCase {
    const char *name;
    std::string text;
    std::vector<Row> rows;
};

const std::vector<LogCase> kLogCases = {
    {"empty file", "", {}},
    {"first line empty", "\r\n0\tt1\td1\r\n0\tt2\td2", {{"t1", "d1", true, 0}, {"t2", "d2", true, 0}}},
    {"entry over two lines",
     "0\tt1\tline one\r\nline two\r\n1\tt2\td2",
     {{"t1", "line one", true, 0}, {"t2", "d2", true, 1}}},
    {"no third field", "2\tt3\r\n0\tt4\td4", {{"t3", "", false, 2}, {"t4", "d4", true, 0}}},
    {"fourth field ignored", "1\tt5\td5\textra", {{"t5", "d5", true, 1}}},
    {"no tab, no row", "just text\r\n\r\n", {}},
    {"unknown levels are plain", "7\tt\td\r\n12\tt\td\r\n\tt\td", {{"t", "d", true, 0}, {"t", "d", true, 0},
                                                                    {"t", "d", true, 0}}},
    {"line feeds alone end lines too", "1\ta\tb\n2\tc\td\n", {{"a", "b", true, 1}, {"c", "d", true, 2}}},
    {"fields cut to 255", "0\t" + kLong + "\t" + kLong,
     {{std::string(255, 'x'), std::string(255, 'x'), true, 0}}},
};

TEST(LogLines, EachLineMakesTheRowItsFieldsCallFor)
{
    for (const LogCase &c : kLogCases)
        EXPECT_EQ(c.rows, Parse(c.text)) << c.name;
}

// The file is read as it grows: bytes arrive in any pieces, and the last
// line may be continued in place. Whatever the pieces, the rows are those of
// the whole text.
TEST(LogLines, ReadingInPiecesGivesTheRowsOfTheWhole)
{
    for (const LogCase &c : kLogCases) {
        for (size_t cut = 0; cut <= c.text.size(); ++cut) {
            LogText log;
            AppendLog(log, c.text.data(), cut);
            AppendLog(log, c.text.data() + cut, c.text.size() - cut);
            EXPECT_EQ(c.rows, RowsOf(log)) << c.name << ", cut at " << cut;
        }
    }
    LogText log;
    const std::string start = "0\tt1\td1\r\n1\tt2\tconnect";
    AppendLog(log, start.data(), start.size());
    AppendLog(log, " failed", 7); // the record continued on its line
    EXPECT_EQ((std::vector<Row>{{"t1", "d1", true, 0}, {"t2", "connect failed", true, 1}}), RowsOf(log));
    ResetLog(log);
    EXPECT_TRUE(log.rows.empty());
    EXPECT_TRUE(log.text.empty());
}

TEST(LogLines, CopiedLinesAreTimeDashDescriptionJoinedByCrLf)
{
    LogText log;
    const std::string text = "0\tt1\td1\r\n2\tt2\td2\r\n0\tt3";
    AppendLog(log, text.data(), text.size());
    EXPECT_EQ("t1 - d1\r\nt2 - d2", CopiedLines(log, {0, 1}));
    EXPECT_EQ("t3 - ", CopiedLines(log, {2}));
    EXPECT_EQ("", CopiedLines(log, {}));
    EXPECT_EQ("t2 - d2", CopiedLines(log, {1, 9})) << "a row that is gone is left out";
    EXPECT_TRUE(AnyDescription(log));
}

TEST(HostSelection, SavedSelectionMatchesNamesStrippedAndIgnoringCase)
{
    const std::string part127(127, 'h');
    const std::string selection130 = std::string(130, 'h') + ",other";
    struct Case {
        const char *selection;
        std::string host;
        bool checked;
    } cases[] = {
        {"alpha, BETA ;", "alpha", true},
        {"alpha, BETA ;", "beta", true},
        {"alpha, BETA ;", "gamma", false},
        {"alpha, BETA ;", "alph", false},
        {"/:home.example.test;\r\n", "HOME.example.TEST", true},
        {"a,,b", "", false},
        {"", "alpha", false},
        {nullptr, "alpha", false},
        {selection130.c_str(), part127, true}, // each part is cut to 127 first
        {selection130.c_str(), "other", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.checked, SelectionHasHost(c.selection, c.host))
            << (c.selection ? c.selection : "(null)") << " / " << c.host;
    EXPECT_EQ((std::vector<std::string>{"alpha", "BETA"}), SelectionNames("alpha, BETA ;"));
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), SelectionNames(",a,, ;,b,"));
}

TEST(HostSelection, HostNamesAreCutTo255AtTheirLengthOrTerminator)
{
    const std::string name300(300, 'n');
    EXPECT_EQ(std::string(255, 'n'), HostNameOf(name300.c_str(), name300.size()));
    EXPECT_EQ("abc", HostNameOf("abcdef", 3));
    EXPECT_EQ("ab", HostNameOf("ab\0cd", 5));
    EXPECT_EQ("", HostNameOf(nullptr, 4));
}

TEST(HostSelection, CheckCommandsAndWhatCountsAsAChange)
{
    const int rows[] = {kChecked, kUnchecked, kChecked, kNoCheckBox};
    const bool selected[] = {true, false, false, true};
    struct Case {
        CheckCommand command;
        int after[4];
    } cases[] = {
        {kCheckAll, {kChecked, kChecked, kChecked, kChecked}},
        {kCheckNone, {kUnchecked, kUnchecked, kUnchecked, kUnchecked}},
        {kCheckInverse, {kUnchecked, kChecked, kUnchecked, kUnchecked}},
        {kCheckSelected, {kChecked, kUnchecked, kChecked, kChecked}},
        {kUncheckSelected, {kUnchecked, kUnchecked, kChecked, kUnchecked}},
    };
    for (const Case &c : cases)
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.after[i], StateAfter(c.command, rows[i], selected[i])) << "command " << c.command << " row " << i;

    EXPECT_TRUE(IsCheckChange(kUnchecked, kChecked));
    EXPECT_TRUE(IsCheckChange(kChecked, kUnchecked));
    EXPECT_FALSE(IsCheckChange(kNoCheckBox, kUnchecked)) << "a new row's box is no change";
    EXPECT_FALSE(IsCheckChange(kChecked, kChecked));
}

TEST(HostSelection, CopiedNamesJoinedByCrLfEachCutTo127)
{
    EXPECT_EQ("", CopiedHostNames({}));
    EXPECT_EQ("alpha\r\ngamma", CopiedHostNames({"alpha", "gamma"}));
    EXPECT_EQ(std::string(127, 'q'), CopiedHostNames({std::string(200, 'q')}));
}

} // namespace
