// What the updater scenarios share: an account in the configuration file as
// the configuration utility would write it, the updater program started and
// commanded as the other programs do, and the pipes it signals.
#pragma once

#include "pipe_recorder.h"
#include "test_env.h"

#include <memory>
#include <string>
#include <vector>

extern const char kDemoUser[];
extern const char kDemoPassword[];
extern const char kHomeHost[];
extern const char kOfficeHost[];

class UpdaterScenario : public DataFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes the account and the selected hosts as the configuration utility does.
    void WriteAccount(const std::string &user, const std::string &password, const std::vector<std::string> &hosts);
    std::string Config(const char *section, const char *key);
    void SetConfig(const char *section, const char *key, const char *value);

    // Starts TalUpPs and waits until its first pass is done.
    void StartProcessUpdater();
    // Sends an updater command as the other programs do; returns at once
    // for nothing, after the pass for the pass commands.
    void Command(int code);
    bool WaitForExit(DWORD timeoutMs);
    std::string Log() { return ReadWholeFile(logFile); }
    int CountInLog(const std::string &text);

    std::unique_ptr<PipeListener> trayPipe;
    std::unique_ptr<PipeListener> configPipe;
    PROCESS_INFORMATION updater = {};
};
