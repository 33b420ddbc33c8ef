// Putting text on the clipboard.
#pragma once

#include <windows.h>

// Replaces the clipboard's content with text (CF_TEXT); owner holds the
// clipboard while it copies. False when the clipboard could not be had or
// the text not stored.
bool CopyTextToClipboard(HWND owner, const char *text);
