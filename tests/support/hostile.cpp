// Starts and ends the misbehaving program of the hostile scenarios.
#include "hostile.h"

#include "test_env.h"

namespace {

// The program is built beside the test programs, or one folder up for the
// tests that run from a folder of their own.
std::string HostilePath()
{
    std::string here = ExeFolder() + "HostileProgram.exe";
    return FileExists(here) ? here : ExeFolder() + "..\\HostileProgram.exe";
}

} // namespace

HostileProgram::HostileProgram(const std::string &arguments)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE read = NULL, write = NULL;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write;
    si.hStdError = write;
    std::string line = Quoted(HostilePath()) + " " + arguments;
    bool started = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, 0, NULL, NULL, &si, &process_);
    CloseHandle(write);
    // "ready", or nothing when it failed and closed its end.
    char text[16] = "";
    DWORD got = 0;
    if (started && ReadFile(read, text, sizeof text - 1, &got, NULL))
        ready_ = std::string(text, got).rfind("ready", 0) == 0;
    CloseHandle(read);
}

HostileProgram::~HostileProgram()
{
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 5000);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}
