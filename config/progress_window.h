// The caption-less "please wait" window shown while a refresh runs.
#pragma once

#include <windows.h>

// Over parent; its Cancel enables parent again (the window its refresh
// disabled) and closes it.
HWND CreateProgressWindow(HWND parent);
// Closes the window if it still exists and enables parent; in every case
// brings parent's window to the front.
void CloseProgressWindow(HWND progress, HWND parent);
