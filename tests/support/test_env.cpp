// Test support shared by every test executable.
#include "test_env.h"

#include "scoped.h"
#include "session_pipe.h"

#include "tallib.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <fstream>
#include <sstream>

std::string DataFolderPath()
{
    char buffer[MAX_PATH];
    EXPECT_EQ(0, GetFolder_Data(buffer, sizeof buffer));
    return buffer;
}

void ResetDataFolder()
{
    char appData[MAX_PATH];
    SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, appData);
    std::string talvex = std::string(appData) + "\\Talvex";
    CreateDirectoryA(talvex.c_str(), NULL);
    CreateDirectoryA((talvex + "\\Updater").c_str(), NULL);
    std::string folder = DataFolderPath();
    DeleteFileA((folder + "config.talvex").c_str());
    DeleteFileA((folder + "config.talvex.journal").c_str()); // a killed writer's would be put back
    // The log as the installer leaves it: there and empty (no program makes
    // a missing one).
    std::string log = folder + "talvex.log";
    DeleteFileA(log.c_str());
    ScopedFile made(CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    // And the lock file, which stays (a program that holds its byte has it open).
    ScopedFile lock(CreateFileA((folder + "talvex.lock").c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL));
}

void DataFolderTest::SetUp()
{
    ResetDataFolder();
    dataFolder = DataFolderPath();
    configFile = dataFolder + "config.talvex";
    logFile = dataFolder + "talvex.log";
}

void DataFolderTest::TearDown() { ResetDataFolder(); }

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteWholeFile(const std::string &path, const std::string &text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

int RunProgram(const std::string &commandLine, DWORD timeoutMs)
{
    return RunConcurrently({commandLine}, timeoutMs)[0];
}

std::string ExeFolder()
{
    char buffer[MAX_PATH];
    EXPECT_EQ(0, GetFolder_EXEDir(buffer, sizeof buffer));
    return buffer;
}

std::string Quoted(const std::string &text)
{
    std::string quoted;
    quoted.reserve(text.size() + 2);
    quoted += '"';
    quoted += text;
    quoted += '"';
    return quoted;
}

HANDLE StartProgram(const std::string &fileName)
{
    std::string line = Quoted(ExeFolder() + fileName);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, ExeFolder().c_str(), &si, &pi))
        return NULL;
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

std::vector<int> RunConcurrently(const std::vector<std::string> &commandLines, DWORD timeoutMs)
{
    std::vector<ScopedHandle> running;
    for (const std::string &commandLine : commandLines) {
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::string line = commandLine;
        if (CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
            CloseHandle(pi.hThread);
        else // said here: the caller sees only -1
            fprintf(stderr, "could not start %s: error %lu\n", commandLine.c_str(), GetLastError());
        running.emplace_back(pi.hProcess);
    }
    std::vector<int> codes;
    DWORD start = GetTickCount();
    for (const ScopedHandle &process : running) {
        int code = -1;
        if (process) {
            DWORD left = timeoutMs - (GetTickCount() - start);
            DWORD exitCode = 0;
            if ((int)left > 0 && WaitForSingleObject(process.get(), left) == WAIT_OBJECT_0 &&
                GetExitCodeProcess(process.get(), &exitCode)) {
                code = (int)exitCode;
            } else {
                fprintf(stderr, "a program did not end within %lu ms, or its exit code could not be read\n",
                        timeoutMs);
                TerminateProcess(process.get(), 1);
            }
        }
        codes.push_back(code);
    }
    return codes;
}

namespace {

// Whether the process still runs from the folder. One whose path cannot be
// read yet (it is just starting) counts as running.
bool RunsFrom(DWORD processId, const std::string &folder)
{
    ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, processId));
    if (!process || WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT)
        return false;
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process.get(), 0, path, &size))
        return true;
    return _strnicmp(path, folder.c_str(), folder.size()) == 0 && !strchr(path + folder.size(), '\\');
}

int CountRunning(const std::string &folder, const std::vector<std::string> &names)
{
    int count = 0;
    ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0)); // INVALID_HANDLE_VALUE on failure
    if (!snapshot)
        return -1;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ProcessID == GetCurrentProcessId())
            continue;
        for (const std::string &name : names)
            if (_stricmp(entry.szExeFile, name.c_str()) == 0 && RunsFrom(entry.th32ProcessID, folder))
                ++count;
    }
    return count;
}

} // namespace

bool WaitForProgramsToEnd(const std::string &folder, const std::vector<std::string> &names, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (CountRunning(folder, names) != 0) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}

std::string TimestampSecondsAgo(long long secondsAgo)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER value;
    value.LowPart = file.dwLowDateTime;
    value.HighPart = file.dwHighDateTime;
    value.QuadPart -= (ULONGLONG)secondsAgo * 10000000ull;
    file.dwLowDateTime = value.LowPart;
    file.dwHighDateTime = value.HighPart;
    SYSTEMTIME then;
    FileTimeToSystemTime(&file, &then);
    char text[32];
    snprintf(text, sizeof text, "%02d-%02d-%04d %02d:%02d:%02d", then.wMonth, then.wDay, then.wYear, then.wHour,
             then.wMinute, then.wSecond);
    return text;
}

int CountOccurrences(const std::string &text, const std::string &needle)
{
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++count;
    return count;
}

unsigned long long CommitCounter::Commits() const
{
    std::string text = ReadWholeFile(journal);
    unsigned long long commits = 0;
    if (text.size() >= 16 && text.compare(0, 4, "TVXJ") == 0)
        memcpy(&commits, text.data() + 8, sizeof commits);
    return commits;
}

std::string OwnSessionPipe(const char *pipeName)
{
    char name[kSessionPipeNameSize] = "";
    SessionPipeName(pipeName, OwnSession(), name, sizeof name);
    return name;
}
