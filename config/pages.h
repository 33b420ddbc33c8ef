// What the pages of TalUpConfig share among themselves (beyond
// config_app.h): the progress window, the worker-thread helper, dialog
// centring, the web-page question and the Home page's host list.
#pragma once

#include "config_app.h"

#include <windows.h>
#include <commctrl.h>

// Messages of the Home page's own making.
constexpr UINT kMsgCloseProgress = WM_APP + 40; // to a progress window: close yourself

// ---- page_common.cpp ---------------------------------------------------------
// A page's size in pixels at 96 dots per inch (the frame scales it).
const int kPageWidth = 512, kPageHeight = 395;
// Moves and sizes the page's controls so that its template fills the
// page's size: dialog units are pixels of a font whose measure differs from
// system to system, the page's size is not.
void FitPageToFrame(HWND page);
// Centres window over the client area of over (its top-level window's when
// over is a child), kept on the work area.
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

// ---- progress_window.cpp -----------------------------------------------------
// The caption-less "please wait" window over parent; its Cancel enables
// parent again (the window its refresh disabled) and closes it.
HWND CreateProgressWindow(HWND parent);
// Closes the window if it still exists (from any thread) and enables
// parent; in every case brings parent's window to the front.
void CloseProgressWindow(HWND progress, HWND parent);

// ---- host_list.cpp -----------------------------------------------------------
HWND HostList();
void InitHostList(HWND page);
void SetHostColumnWidths(HWND list);
// A check command (5676, 5677, 5679, 32777, 32779) on every row.
void RunCheckCommand(int id);
void CopySelectedHosts();
// Rows of the saved selection, checked, when the list has none; Apply
// stays as it was.
void GiveBackSavedSelection(HWND list);
// LVN_ITEMCHANGED of the host list: a row checked or unchecked enables Apply.
void OnHostRowChanged(const NMLISTVIEW *change);

// ---- refresh.cpp -------------------------------------------------------------
// Start or stop the updater on a worker thread; link is disabled meanwhile
// (the running indicator shows the right link again).
void StartOrStopUpdater(HWND link, bool start);
