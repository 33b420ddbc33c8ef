// The tray pipe: what each message means to the icon.
#pragma once

#include <windows.h>

// Starts the shared pipe listener on the tray pipe; false when it could
// not start (the log says why).
bool StartTrayPipeListener(HWND window);
// The update result code (update_results.h) a result message carries:
// decimal text as strtol reads it, kept within int; text that is no number
// is kResultNoExchange, which shows the general balloon.
int ResultCode(const char *text);
