// Waiting for the programs of a folder to end (setup_helper.h). A program
// whose window has gone, or a service that reports itself stopped, may
// still run for a moment; while it does, its files and its folder cannot
// be removed.
#include "setup_helper.h"

#include "scoped.h"

#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// One process still running a program from the folder, opened so that it
// can be waited for; an empty handle when none is left.
ScopedHandle FindRunning(const std::string &folder, std::string &name)
{
    ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return ScopedHandle();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        ScopedHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        char path[MAX_PATH] = "";
        DWORD size = sizeof path;
        if (!process || !QueryFullProcessImageNameA(process.get(), 0, path, &size))
            continue;
        if (_strnicmp(path, folder.c_str(), folder.size()) == 0 && path[folder.size()] == '\\' &&
            WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            name = path;
            return process;
        }
    }
    return ScopedHandle();
}

} // namespace

bool WaitForProgramsGone(const std::string &given, unsigned seconds)
{
    std::string folder = given;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    std::string name;
    for (;;) {
        ScopedHandle running = FindRunning(folder, name);
        if (!running)
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= end || WaitForSingleObject(running.get(), (DWORD)(end - now)) == WAIT_TIMEOUT) {
            printf("%s still runs after %u s\n", name.c_str(), seconds);
            return false;
        }
    }
}
