// WindowCommand: presses a button of a program's window from a shell
// script, as a click would (WM_COMMAND with the button's id, to the window
// that holds it: the window itself or one of its pages), once the button is
// shown and enabled (it waits up to 30 s for that). With a third argument,
// the window holding the control gets that command instead (a menu item of
// a page: the control names the page), or with "menu" the control's
// context menu, as a right click on it would, and with "cancel" the end
// of that menu.
//   WindowCommand <window class> <control id> [<command id> | menu | cancel]
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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

// What a shown control of the window says, so that a press that could not
// be made tells what the window showed instead.
BOOL CALLBACK PrintShownText(HWND child, LPARAM)
{
    char text[256] = "";
    if (IsWindowVisible(child) && GetWindowTextA(child, text, sizeof text) > 0)
        fprintf(stderr, "  control %d: %s\n", GetDlgCtrlID(child), text);
    return TRUE;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: WindowCommand <window class> <control id> [<command id> | menu | cancel]\n");
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
        fprintf(stderr, "WindowCommand: no usable control %d in a window of class %s (%s)\n", id, argv[1],
                !window ? "no such window" : !button ? "no such control shown" : "the control is disabled");
        if (window)
            EnumChildWindows(window, PrintShownText, 0);
        return 1;
    }
    if (argc == 4 && strcmp(argv[3], "menu") == 0)
        PostMessageA(GetParent(button), WM_CONTEXTMENU, (WPARAM)button, (LPARAM)-1);
    else if (argc == 4 && strcmp(argv[3], "cancel") == 0)
        PostMessageA(GetParent(button), WM_CANCELMODE, 0, 0);
    else if (argc == 4)
        PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(atoi(argv[3]), 0), 0);
    else
        PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)button);
    return 0;
}
