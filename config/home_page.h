// The Home page: the account, the updater's state and the host list.
#pragma once

#include "config_state.h"

#include <windows.h>

#include <string>
#include <vector>

// A child dialog of frame, fitted to the page size at the screen's scale;
// it shows and changes the account and the saved selection of settings.
HWND CreateHomePage(HWND frame, ScreenScale scale, ConfigSettings &settings);

// What the frame has the page show. Each does nothing when page is no Home
// page (it could not be made).
void ShowUserName(HWND page, const char *name);
void ShowLastUpdate(HWND page, const char *time);
// "Detecting..." until the first poll says whether the updater runs.
void ShowUpdaterDetecting(HWND page);
// "On" or "Off", and the one link of Start and Stop that applies.
void ShowUpdaterRunning(HWND page, bool running);
// Starts the refreshes of the page's links: the host list download when
// withHostList, then the address check.
void RefreshHomePage(HWND page, bool withHostList);

// The page's own state (home_state.h); NULL when page is no Home page.
struct HomeState;
HomeState *HomePageState(HWND page);

// The hosts the user chose for the updater, in row order: every row whose
// box is not unchecked. False when page is no Home page.
bool ChosenHosts(HWND page, std::vector<std::string> &hosts);
