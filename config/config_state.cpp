// How every window of the utility reaches the main window's state.
#include "config_state.h"

ConfigApp &AppOf(HWND window)
{
    // Pages and their controls are children of the main window, which
    // keeps the state in its user data from WM_NCCREATE on.
    HWND frame = GetAncestor(window, GA_ROOT);
    return *(ConfigApp *)GetWindowLongPtrA(frame ? frame : window, GWLP_USERDATA);
}
