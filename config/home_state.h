// The Home page's own state, shared by its files (home_page.cpp,
// host_list.cpp, refresh.cpp): what the frame handed it and what its
// refreshes are doing. Kept in the page's user data; used on the window
// thread only.
#pragma once

#include "config_messages.h"
#include "config_state.h"

#include <windows.h>

struct HomeState {
    HWND page = NULL;
    ScreenScale scale;
    ConfigSettings *settings = NULL; // the frame's: the account, the sync option, the saved selection

    // One refresh of each kind at a time: after the progress window's
    // Cancel the window is usable while the first refresh still runs, and
    // a second download would interleave its rows with the first's.
    bool hostWorker = false;
    bool addressWorker = false;
    bool refreshing = false;    // host rows are arriving
    bool givingBack = false;    // rows come back from the saved selection: no change to save
};
