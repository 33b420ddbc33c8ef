// WindowCommand: presses a button of a program's window from a shell
// script, as a click would (WM_COMMAND with the button's id, to the window
// that holds it: the window itself or one of its pages), once the button is
// shown and enabled (it waits up to 30 s for that).
//   WindowCommand <window class> <control id>
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

struct Search {
    int id;
    HWND found;
};

// The first shown control with the id among the window's descendants.
BOOL CALLBACK FindShown(HWND child, LPARAM parameter)
{
    Search *search = (Search *)parameter;
    if (GetDlgCtrlID(child) == search->id && IsWindowVisible(child)) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

HWND FindButton(HWND window, int id)
{
    Search search = {id, NULL};
    EnumChildWindows(window, FindShown, (LPARAM)&search);
    return search.found;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: WindowCommand <window class> <control id>\n");
        return 2;
    }
    int id = atoi(argv[2]);
    HWND window = NULL, button = NULL;
    for (int tenths = 0; tenths < 300; ++tenths) {
        window = FindWindowA(argv[1], NULL);
        button = window ? FindButton(window, id) : NULL;
        if (button && IsWindowEnabled(button) && IsWindowVisible(button))
            break;
        Sleep(100);
    }
    if (!button || !IsWindowEnabled(button)) {
        fprintf(stderr, "WindowCommand: no usable control %d in a window of class %s\n", id, argv[1]);
        return 1;
    }
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return 0;
}
