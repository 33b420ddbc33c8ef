// A window's own state: what the program hands CreateWindowEx as its last
// argument, kept in the window's user data from WM_NCCREATE on, so that the
// window procedure reaches it through the window and not through a global.
#pragma once

#include <windows.h>

// Call first in the window procedure, for every message: NULL for the few
// messages that come before WM_NCCREATE (leave those to DefWindowProc).
template <class State> State *WindowState(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrA(window, GWLP_USERDATA, (LONG_PTR)((CREATESTRUCTA *)lParam)->lpCreateParams);
    return (State *)GetWindowLongPtrA(window, GWLP_USERDATA);
}
