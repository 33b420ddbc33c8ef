// ConfigSignal: plays the other programs towards TalUpConfig from a shell
// script (the screenshot script), as the suite's own programs do.
//   ConfigSignal user <code> [lParam]   WM_USER to the window (TellConfig)
//   ConfigSignal pipe <text>            one configuration pipe message
//   ConfigSignal updater <seconds>      a stand-in updater window for a while
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
    fprintf(stderr, "usage: ConfigSignal user <code> [lParam] | pipe <text> | updater <seconds>\n");
    return 2;
}
