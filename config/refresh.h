// The Home page's background work: the address check and the host list
// download on workers whose results the page applies.
#pragma once

#include "home_state.h"

#include <windows.h>

#include <string>

// False when a check already runs.
bool StartAddressRefresh(HomeState &home);
void StartHostListRefresh(HomeState &home);
// On the window thread, the refreshes' results (kMsgShowAddress,
// kMsgHostRefreshDone). The address check's is the text the page shows: the
// address, or "Unknown".
std::string OnAddressFound(HomeState &home, LPARAM result);
void OnHostRefreshDone(HomeState &home, LPARAM result);
// Starts or stops the updater on a worker; link is disabled meanwhile
// (the running indicator shows the right link again).
void StartOrStopUpdater(HWND link, bool start);
