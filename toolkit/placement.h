// Where the window programs put their windows.
#pragma once

#include <windows.h>

// Centres the window over the client area of `over`, or over the work area
// of the screen when `over` is NULL, and never off the screen it lands on.
void CentreWindow(HWND window, HWND over);
