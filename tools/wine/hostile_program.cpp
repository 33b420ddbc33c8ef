// HostileProgram: a local program that misbehaves towards the suite, for
// the tests and the measurement scripts. Each mode lasts `seconds`.
//   HostileProgram squat <pipe> <seconds>   creates the pipe's instances
//                                           first, accepts every writer and
//                                           never reads
//   HostileProgram hold <pipe> <seconds>    connects to the pipe and says
//                                           nothing
//   HostileProgram hang <class> <title> <seconds>
//                                           a window of that class and
//                                           title whose thread never
//                                           answers
// Prints "ready" once it misbehaves.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

// Enough instances for every writer of several passes: each writer stays
// connected to one until it gives up.
const int kSquatInstances = 64;

void Ready()
{
    printf("ready\n");
    fflush(stdout);
}

int Squat(const char *name, DWORD seconds)
{
    std::vector<HANDLE> pipes;
    std::vector<OVERLAPPED> connects(kSquatInstances);
    for (int i = 0; i < kSquatInstances; ++i) {
        // No buffer at all: a write completes only when someone reads.
        HANDLE pipe = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                       PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                       PIPE_UNLIMITED_INSTANCES, 0, 0, 0, NULL);
        if (pipe == INVALID_HANDLE_VALUE)
            return 1;
        connects[i].hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        ConnectNamedPipe(pipe, &connects[i]);
        pipes.push_back(pipe);
    }
    Ready();
    Sleep(seconds * 1000);
    return 0; // the system closes what is open
}

int Hold(const char *name, DWORD seconds)
{
    HANDLE pipe = CreateFileA(name, GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (pipe == INVALID_HANDLE_VALUE)
        return 1;
    Ready();
    Sleep(seconds * 1000);
    CloseHandle(pipe);
    return 0;
}

int Hang(const char *windowClass, const char *title, DWORD seconds)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = windowClass;
    if (!RegisterClassExA(&wc))
        return 1;
    HWND window = CreateWindowExA(0, windowClass, title, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    if (!window)
        return 1;
    Ready();
    Sleep(seconds * 1000); // never pumps: every message sent to it waits
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "squat") == 0)
        return Squat(argv[2], (DWORD)atoi(argv[3]));
    if (argc == 4 && strcmp(argv[1], "hold") == 0)
        return Hold(argv[2], (DWORD)atoi(argv[3]));
    if (argc == 5 && strcmp(argv[1], "hang") == 0)
        return Hang(argv[2], argv[3], (DWORD)atoi(argv[4]));
    fprintf(stderr, "usage: HostileProgram squat <pipe> <s> | hold <pipe> <s> | hang <class> <title> <s>\n");
    return 2;
}
