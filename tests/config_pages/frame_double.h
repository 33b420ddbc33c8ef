// Stands in for TalUpConfig's frame while its pages are tested: the main
// window (which records what the pages tell it, and hands a download's
// rows to the Home page as GetHostList would send them), the four pages
// made as the frame makes them, and a record of what the pages asked.
#pragma once

#include "config_state.h"
#include "home_state.h"
#include "host_list.h"
#include "host_rows.h"
#include "account_dialog.h"
#include "advanced_page.h"
#include "help_page.h"
#include "home_page.h"
#include "logs_page.h"
#include "page_common.h"
#include "progress_window.h"
#include "refresh.h"

#include <windows.h>

struct FrameRecord {
    int applyEnabled = 0; // kMsgPageChanged
    int shownPage = -1;   // last kMsgShowPage
};
extern FrameRecord g_frame;
// The state of the test's main window.
extern ConfigApp g_app;

// The test's main window, pages placed as the frame places them.
HWND CreateTestMainWindow();
void CreateTestPages();
void DestroyTestWindows();
// The Home page's own state.
HomeState &Home();
