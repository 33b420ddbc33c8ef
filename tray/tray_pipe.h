// The tray pipe: what each message means to the icon.
#pragma once

#include <windows.h>

// Starts the shared pipe listener on the tray pipe; false when it could
// not start (the log says why).
bool StartTrayPipeListener(HWND window);
// The code a result message carries: decimal text as atoi reads it,
// kept within int; text that is no number is 0.
int ResultCode(const char *text);
