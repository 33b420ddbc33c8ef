// The Home page's background work: the address check and the host list
// download on workers whose results the main window applies.
#pragma once

#include "config_state.h"

#include <windows.h>

void StartAddressRefresh(ConfigApp &app);
void StartHostListRefresh(ConfigApp &app);
// On the window thread, the refreshes' results (kMsgShowAddress, kMsgHostRefreshDone).
void OnAddressFound(ConfigApp &app, LPARAM result);
void OnHostRefreshDone(ConfigApp &app, LPARAM result);
// Starts or stops the updater on a worker; link is disabled meanwhile
// (the running indicator shows the right link again).
void StartOrStopUpdater(HWND link, bool start);
