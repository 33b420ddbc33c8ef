// Small helpers the pages share: their size, workers, opening web pages
// after a question, check boxes of list rows, context menus and columns.
#pragma once

#include "config_state.h"

#include <windows.h>

// A page's size in pixels at 96 dots per inch (the frame scales it).
const int kPageWidth = 512, kPageHeight = 395;
// Moves and sizes the page's controls so that its template fills the
// page's size: dialog units are pixels of a font whose measure differs from
// system to system, the page's size is not.
void FitPageToFrame(HWND page);
// Runs work(parameter) on a short worker thread whose handle is closed at
// once; false when the thread could not be created.
bool StartWorker(LPTHREAD_START_ROUTINE work, void *parameter);
// Asks question (Yes/No, caption kCaption, owned by owner) and on Yes opens
// target with the shell's "open" verb, shown normally.
void AskAndOpen(HWND owner, const char *question, const char *target);
// The control's check-box state image (0 none, 1 unchecked, 2 checked).
int RowCheckState(HWND list, int row);
void SetRowCheckState(HWND list, int row, int state);
// Pop-up popup (0 "Hosts", 1 "Log") of menu 4 at the position of a
// WM_CONTEXTMENU (the cursor when it came from the keyboard); its commands
// go to page.
void ShowContextMenu(HWND page, int popup, LPARAM position);
// Adds a report-view column.
void AddColumn(HWND list, int index, const char *title, int width);
