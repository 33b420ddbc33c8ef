// Waiting for the programs of a folder to end, and ending those that do not
// (setup_helper.h). A program whose window has gone, or a service that
// reports itself stopped, may still run for a moment; while it does, its
// files and its folder cannot be removed. The processes are found in the
// system's list of every session's: a notification icon that another
// signed-in user's Startup shortcut started has no window the installer
// could find or tell.
#include "setup_helper.h"

#include "error_text.h"
#include "scoped.h"

#include <windows.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// One process still running a program from the folder, opened so that it
// can be waited for; an empty handle when none is left.
ScopedHandle FindRunning(const std::string &folder, std::string &name, DWORD access = 0)
{
    ScopedFile snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return ScopedHandle();
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry)) {
        ScopedHandle process(
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | access, FALSE, entry.th32ProcessID));
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

std::string WithoutClosingBackslash(const std::string &given)
{
    std::string folder = given;
    while (!folder.empty() && folder.back() == '\\')
        folder.pop_back();
    return folder;
}

// How long an ended program is given to be gone.
const DWORD kEndedWaitMs = 5000;

} // namespace

bool EndProgramsOf(const std::string &given, unsigned graceSeconds)
{
    std::string folder = WithoutClosingBackslash(given), name;
    if (WaitForProgramsGone(folder, graceSeconds, true))
        return true;
    // Each one still running is ended; one that cannot be ended (or does
    // not go) is named, and the folder stays.
    for (int ended = 0; ended < 64; ++ended) {
        ScopedHandle running = FindRunning(folder, name, PROCESS_TERMINATE);
        if (!running)
            return true;
        if (!TerminateProcess(running.get(), 1) || WaitForSingleObject(running.get(), kEndedWaitMs) != WAIT_OBJECT_0) {
            printf("%s could not be ended: Windows %s\n", name.c_str(), DescribeError(GetLastError()).c_str());
            return false;
        }
        printf("%s was ended\n", name.c_str());
    }
    return false;
}

bool WaitForProgramsGone(const std::string &given, unsigned seconds, bool quiet)
{
    std::string folder = WithoutClosingBackslash(given);
    ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    std::string name;
    for (;;) {
        ScopedHandle running = FindRunning(folder, name);
        if (!running)
            return true;
        ULONGLONG now = GetTickCount64();
        if (now >= end || WaitForSingleObject(running.get(), (DWORD)(end - now)) == WAIT_TIMEOUT) {
            if (!quiet)
                printf("%s still runs after %u s\n", name.c_str(), seconds);
            return false;
        }
    }
}
