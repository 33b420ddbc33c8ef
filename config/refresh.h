// The Home page's background work: the address check and the host list
// download on workers whose results the page applies.
#pragma once

#include "home_state.h"

#include <windows.h>

void StartAddressRefresh(HomeState &home);
void StartHostListRefresh(HomeState &home);
// On the window thread, the refreshes' results (kMsgShowAddress, kMsgHostRefreshDone).
void OnAddressFound(HomeState &home, LPARAM result);
void OnHostRefreshDone(HomeState &home, LPARAM result);
// Starts or stops the updater on a worker; link is disabled meanwhile
// (the running indicator shows the right link again).
void StartOrStopUpdater(HWND link, bool start);
