// Several processes append to the log at once: every record arrives whole,
// on a line of its own, exactly once.
#include "log_checks.h"
#include "test_env.h"
#include "tallib.h"

#include <stdio.h>

#include <set>
#include <string>
#include <vector>

class LogConcurrency : public DataFolderTest {};

TEST_F(LogConcurrency, ParallelWritersNeitherTearNorMergeRecords)
{
    const int processes = 4, count = 100;
    std::string hammer = ExeFolder() + "log_hammer.exe";

    std::vector<std::string> commandLines;
    for (int id = 0; id < processes; ++id)
        commandLines.push_back(Quoted(hammer) + " " + std::to_string(id) + " " + std::to_string(count));
    for (int code : RunConcurrently(commandLines))
        EXPECT_EQ(0, code);

    std::vector<std::string> lines = LogLines(ReadWholeFile(logFile));
    std::set<std::pair<int, int>> seen;
    int malformed = 0;
    for (const std::string &line : lines) {
        int id = -1, n = -1;
        char tail = 0;
        bool ok = line.size() > 22 && line[0] >= '0' && line[0] <= '2' && line[1] == '\t' &&
                  LooksLikeTimestamp(line.substr(2, 19)) && line[21] == '\t' &&
                  sscanf(line.c_str() + 22, "hammer p%d n%d%c", &id, &n, &tail) == 2 && line[0] - '0' == n % 3;
        if (!ok || !seen.insert({id, n}).second)
            ++malformed;
        if (!ok && malformed <= 3)
            ADD_FAILURE() << "malformed line: " << line;
    }
    EXPECT_EQ(0, malformed);
    EXPECT_EQ((size_t)(processes * count), lines.size());
    EXPECT_EQ((size_t)(processes * count), seen.size());
}
