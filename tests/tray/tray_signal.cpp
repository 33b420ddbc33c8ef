// TraySignal: drives the notification icon from a shell script, as the
// update engine and the version check do.
//   TraySignal <message>    writes the message to the tray pipe
//   TraySignal --upgrade    sends the new-version notice
#include "signals.h"
#include "tallib.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: TraySignal <message> | --upgrade\n");
        return 2;
    }
    if (strcmp(argv[1], "--upgrade") == 0) {
        HWND tray = FindWindowExA(NULL, NULL, kTrayClass, kTrayTitle);
        return tray && SendMessageA(tray, WM_USER, kCmdUpgradeAvailable, 0) == 0 ? 0 : 1;
    }
    // The listener may be between two connections: try for a second.
    for (int i = 0; i < 50; ++i) {
        if (Signal(kTrayPipeName, argv[1]))
            return 0;
        Sleep(20);
    }
    return 1;
}
