// WindowCommand: presses a button of a program's window from a shell
// script, as a click would (WM_COMMAND with the button's id).
//   WindowCommand <window class> <control id>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: WindowCommand <window class> <control id>\n");
        return 2;
    }
    HWND window = FindWindowA(argv[1], NULL);
    if (!window) {
        fprintf(stderr, "WindowCommand: no window of class %s\n", argv[1]);
        return 1;
    }
    int id = atoi(argv[2]);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(window, id));
    return 0;
}
