// ConfigSignal: plays the other programs towards TalUpConfig from a shell
// script (the screenshot script), as the suite's own programs do.
//   ConfigSignal user <code> [lParam]   WM_USER to the window (TellConfig)
//   ConfigSignal pipe <text>            one configuration pipe message
//   ConfigSignal updater <seconds>      a stand-in updater window for a while
//   ConfigSignal startup <runs>         starts TalUpConfig.exe (this folder's)
//                                       runs times; prints each start-up
#include "signals.h"
#include "tallib.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int RunStandInUpdater(DWORD seconds)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = kUpdaterClass;
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, kUpdaterClass, kUpdaterTitle, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance,
                                  NULL);
    if (!window)
        return 1;
    DWORD end = GetTickCount() + seconds * 1000;
    while ((LONG)(end - GetTickCount()) > 0) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, NULL, FALSE, 50, QS_ALLINPUT);
    }
    DestroyWindow(window);
    return 0;
}

// Milliseconds from starting the program to its window shown, painted and
// answering messages (its start-up done); -1 when it did not come up.
static long TimeOneStartUp()
{
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION process = {};
    char command[] = "TalUpConfig.exe";
    DWORD begin = GetTickCount();
    if (!CreateProcessA(NULL, command, NULL, NULL, FALSE, 0, NULL, NULL, &start, &process))
        return -1;
    long took = -1;
    while (GetTickCount() - begin < 20000) {
        HWND window = FindWindowA(kConfigClass, kConfigTitle);
        DWORD_PTR answer = 0;
        if (window && IsWindowVisible(window) &&
            SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &answer)) {
            took = (long)(GetTickCount() - begin);
            PostMessageA(window, WM_CLOSE, 0, 0);
            break;
        }
        Sleep(2);
    }
    if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return took;
}

int main(int argc, char **argv)
{
    if (argc >= 3 && strcmp(argv[1], "user") == 0) {
        printf("%ld\n", (long)TellConfig(atoi(argv[2]), argc > 3 ? atoi(argv[3]) : 0));
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "pipe") == 0) {
        // One try, as the suite's writers make: 1 when it was refused.
        return Signal(kConfigPipeName, argv[2]) ? 0 : 1;
    }
    if (argc == 3 && strcmp(argv[1], "updater") == 0)
        return RunStandInUpdater((DWORD)atoi(argv[2]));
    if (argc == 3 && strcmp(argv[1], "startup") == 0) {
        for (int run = 0; run < atoi(argv[2]); ++run)
            printf("%ld\n", TimeOneStartUp());
        return 0;
    }
    fprintf(stderr, "usage: ConfigSignal user <code> [lParam] | pipe <text> | updater <seconds> | startup <runs>\n");
    return 2;
}
