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

    std::vector<PROCESS_INFORMATION> running;
    for (int id = 0; id < processes; ++id) {
        std::string line = "\"" + hammer + "\" " + std::to_string(id) + " " + std::to_string(count) + " " +
                           std::to_string(processes);
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        ASSERT_TRUE(CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) << line;
        running.push_back(pi);
    }
    for (auto &pi : running) {
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pi.hProcess, 60000));
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        EXPECT_EQ(0u, code) << "a writer read back a stale or missing value";
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }

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
