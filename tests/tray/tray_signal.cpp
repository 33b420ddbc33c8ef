// TraySignal: drives the notification icon from a shell script, as the
// update engine, the version check and the shell do.
//   TraySignal <message>    writes the message to the tray pipe
//   TraySignal --upgrade    sends the new-version notice
//   TraySignal --menu X Y   puts the pointer at X,Y and right-clicks the icon
//   TraySignal --point X Y  puts the pointer at X,Y (over the icon: its tip)
//   TraySignal --moves N    the icon's callback for N pointer moves over it
#include "signals.h"
#include "tallib.h"

#include <shellapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: TraySignal <message> | --upgrade | --menu X Y | --point X Y | --moves N\n");
        return 2;
    }
    HWND tray = FindWindowExA(NULL, NULL, kTrayClass, kTrayTitle);
    if (strcmp(argv[1], "--upgrade") == 0)
        return tray && SendMessageA(tray, WM_USER, kCmdUpgradeAvailable, 0) == 0 ? 0 : 1;
    if (strcmp(argv[1], "--point") == 0 && argc == 4)
        return SetCursorPos(atoi(argv[2]), atoi(argv[3])) ? 0 : 1;
    if (strcmp(argv[1], "--moves") == 0 && argc == 3) {
        // Sent, not posted: each move is handled before the next, as the
        // notification area hands them over.
        for (int i = 0; tray && i < atoi(argv[2]); ++i)
            SendMessageA(tray, WM_USER + 1, 2000, WM_MOUSEMOVE);
        return tray ? 0 : 1;
    }
    if (strcmp(argv[1], "--menu") == 0 && argc == 4) {
        SetCursorPos(atoi(argv[2]), atoi(argv[3]));
        // Wine's notification area posts this on a right-click of the icon.
        return tray && PostMessageA(tray, WM_USER + 1, 2000, WM_RBUTTONDOWN) ? 0 : 1;
    }
    // The listener may be between two connections: try for a second.
    for (int i = 0; i < 50; ++i) {
        if (Signal(kTrayPipeName, argv[1]))
            return 0;
        Sleep(20);
    }
    return 1;
}
