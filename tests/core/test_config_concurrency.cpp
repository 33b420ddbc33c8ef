// Several processes write and read the configuration file at once: no write
// may be lost and each must see the others' writes.
#include "test_env.h"
#include "tallib.h"

#include <stdio.h>

#include <string>
#include <vector>

class ConfigConcurrency : public DataFolderTest {};

TEST_F(ConfigConcurrency, ParallelWritersLoseNoKey)
{
    const int processes = 4, count = 100;
    std::string hammer = ExeFolder() + "config_hammer.exe";

    std::vector<std::string> lines;
    for (int id = 0; id < processes; ++id)
        lines.push_back(Quoted(hammer) + " " + std::to_string(id) + " " + std::to_string(count) + " " +
                        std::to_string(processes));
    for (int code : RunConcurrently(lines))
        EXPECT_EQ(0, code) << "a writer read back a stale or missing value";

    int missing = 0;
    for (int id = 0; id < processes; ++id) {
        for (int i = 0; i < count; ++i) {
            char key[32];
            snprintf(key, sizeof key, "p%dk%d", id, i);
            if (Profile_ReadInt(configFile.c_str(), "Hammer", key, -1) != i)
                ++missing;
        }
    }
    EXPECT_EQ(0, missing) << "of " << processes * count << " keys";
}
