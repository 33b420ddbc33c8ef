// The Home page's host list: rows as a download delivers them, the saved
// selection given back, and the check and copy commands. These work on the
// list and say what happened (a check changed, the text to copy); the page
// acts on it.
#pragma once

#include "home_state.h"

#include <windows.h>
#include <commctrl.h>

#include <stddef.h>

#include <string>
#include <vector>

HWND HostList(const HomeState &home);
// Columns and groups, once the page is fitted to its size.
void InitHostList(const HomeState &home);
// The window's new scale: the page has been laid out again; the columns
// follow its list's new width.
void RescaleHostList(HomeState &home, const ScreenScale &scale);
// A download's rows: the list is emptied, filled, then drawn once.
void BeginHostRows(HomeState &home);
void AddHostRow(HomeState &home, const char *name, size_t length);
void EndHostRows(HomeState &home);
// Rows of the saved selection, checked, when the list has none; that is
// no change to save.
void GiveBackSavedSelection(HomeState &home);
// LVN_ITEMCHANGED of the host list: whether a row was checked or unchecked
// (a change to save).
bool IsHostCheckChange(const HomeState &home, const NMLISTVIEW *change);
// A check command (5676, 5677, 5679, 32777, 32779) on every row.
void RunCheckCommand(const HomeState &home, int id);
// The selected rows' names, one a line, as the copy command copies them.
std::string SelectedHostsText(const HomeState &home);
// The names of the rows whose box is not unchecked, in row order: what a
// save makes the host table.
std::vector<std::string> CheckedHostNames(const HomeState &home);
