// Test support: a clean data folder per test, file helpers, and the local
// Talvex service's control interface.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

// Creates the data folder as an installation would and removes the
// configuration and log files before and after each test.
class DataFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string dataFolder;
    std::string configFile;
    std::string logFile;
};

std::string DataFolderPath();
void ResetDataFolder();
std::string ReadWholeFile(const std::string &path);
void WriteWholeFile(const std::string &path, const std::string &text);
bool FileExists(const std::string &path);

// Starts a program and waits for it; returns its exit code, or -1 when it
// could not be started or did not end within timeoutMs.
int RunProgram(const std::string &commandLine, DWORD timeoutMs = 30000);

// Starts a program of the test's own folder, in that folder, without
// waiting; its process handle (the caller closes it), NULL when it could
// not be started.
HANDLE StartProgram(const std::string &fileName);

// Starts every command line at once and waits for all; returns their exit
// codes (-1 for one that could not start or did not end within timeoutMs).
std::vector<int> RunConcurrently(const std::vector<std::string> &commandLines, DWORD timeoutMs = 60000);

// Waits until no process but this one runs one of the named programs
// ("TalTray.exe") from the folder (ending in a backslash). The shell starts
// a program before it returns, so once every program it started has ended,
// whatever they were going to record is recorded: the barrier before
// asserting that something was started only once, or not at all. False
// when one still runs after timeoutMs.
bool WaitForProgramsToEnd(const std::string &folder, const std::vector<std::string> &names,
                          DWORD timeoutMs = 20000);

// The local time `secondsAgo` seconds back (negative: ahead) as a timestamp.
std::string TimestampSecondsAgo(long long secondsAgo);

// How many times needle occurs in text (overlapping occurrences count).
int CountOccurrences(const std::string &text, const std::string &needle);

// The pipe of the suite (kTrayPipeName, kConfigPipeName) as this session's
// reader serves it.
std::string OwnSessionPipe(const char *pipeName);

// The text in double quotes, for a command line.
std::string Quoted(const std::string &text);

// The folder holding the test executables, TalLib.dll and the programs.
std::string ExeFolder();

// Counts the commits made to a configuration file from construction until
// Count() is asked: the journal beside the file keeps their number (eight
// bytes after its four-byte mark and four-byte state).
class CommitCounter {
public:
    explicit CommitCounter(const std::string &path) : journal(path + ".journal"), start(Commits()) {}
    int Count() const { return (int)(Commits() - start); }

private:
    unsigned long long Commits() const;
    std::string journal;
    unsigned long long start;
};
