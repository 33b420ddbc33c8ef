// A static control made a hyperlink, through the system's subclassing; its
// state is freed with the control.
#pragma once

#include <windows.h>

void AttachLink(HWND control);
// The pointing hand over a link or button (the arrow where there is none).
void ShowHandCursor();
