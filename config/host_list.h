// The Home page's host list: rows as GetHostList delivers them, the saved
// selection given back, and the check and copy commands.
#pragma once

#include "config_state.h"

#include <windows.h>
#include <commctrl.h>

#include <stddef.h>

HWND HostList(const ConfigApp &app);
void InitHostList(HWND page);
void SetHostColumnWidths(const ConfigApp &app, HWND list);
// A check command (5676, 5677, 5679, 32777, 32779) on every row.
void RunCheckCommand(ConfigApp &app, int id);
void CopySelectedHosts(ConfigApp &app);
// Rows of the saved selection, checked, when the list has none; Apply
// stays as it was.
void GiveBackSavedSelection(ConfigApp &app, HWND list);
// LVN_ITEMCHANGED of the host list: a row checked or unchecked enables Apply.
void OnHostRowChanged(ConfigApp &app, const NMLISTVIEW *change);
// The host list messages GetHostList sends to the main window.
void OnHostListBegin(ConfigApp &app);
void OnHostListHost(ConfigApp &app, const char *name, size_t length);
void OnHostListEnd(ConfigApp &app);
