// What the pages share: their size and look, what they tell their frame,
// opening web pages after a question, context menus and columns. Pages
// know nothing of the frame but its window: they send it the messages of
// config_messages.h and it acts on them.
#pragma once

#include "config_messages.h"
#include "screen_scale.h"

#include <windows.h>

// A page's size in pixels at 96 dots per inch.
const int kPageWidth = 512, kPageHeight = 395;
// Moves and sizes the page's controls so that its template fills the
// page's size at the window's scale: dialog units are pixels of a font
// whose measure differs from system to system, the page's size is not.
// Called again at a new scale, it lays the page out as at that scale.
void FitPageToFrame(HWND page, const ScreenScale &scale);
// The pages' background: white, or the window colour of a high-contrast
// theme. Not the caller's to delete.
HBRUSH PageBrush();
// What every page does alike (white background, opaque statics, focus on
// hit-test): the pages' PageKind::look.
bool HandlePageMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
// The module a window was made from.
HINSTANCE InstanceOf(HWND window);
// Tells the page's frame (its parent) message, with wParam.
void TellFrame(HWND page, UINT message, WPARAM wParam);
// Asks question (Yes/No, caption kCaption, owned by owner) and on Yes opens
// target with the shell's "open" verb, shown normally.
void AskAndOpen(HWND owner, const char *question, const char *target);
// For a WM_CONTEXTMENU over control: when it is the page's control list,
// pop-up popup (0 "Hosts", 1 "Log") of menu 4 at position (the cursor
// when it came from the keyboard), its commands going to page. False for
// any other control.
bool ShowContextMenu(HWND page, HWND control, int list, int popup, LPARAM position);
// Adds a report-view column.
void AddColumn(HWND list, int index, const char *title, int width);
