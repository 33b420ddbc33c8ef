// A static control made a hyperlink, through the system's subclassing; its
// state is freed with the control.
#pragma once

#include <windows.h>

void AttachLink(HWND control);
// The pointing hand over a link or button (the arrow where there is none).
void ShowHandCursor();

// What links and navigation buttons share for the keyboard.
// True when control has the focus and the window shows focus cues (they
// stay hidden until the keyboard is used, where the user has it so).
bool FocusCueShown(HWND control);
// Draws the focus rectangle on control's client edge when it is shown.
void DrawFocusCue(HWND control);
// WM_GETDLGCODE's addition: Enter goes to the control, not to the dialog.
LRESULT KeysWanted(LPARAM lParam);
// A key's first WM_KEYDOWN, not its repeats.
bool IsFirstPress(WPARAM wParam, LPARAM lParam, WPARAM key);
