// Stands in for TalUpConfig's frame while its pages are tested: the main
// window (which hands the host list messages to the pages, as the frame's
// does), the four pages made from their templates, and a record of what
// the pages asked of the frame.
#pragma once

#include "config_state.h"
#include "frame.h"
#include "host_list.h"
#include "pages.h"
#include "progress_window.h"
#include "refresh.h"

#include <windows.h>

struct FrameRecord {
    int applyEnabled = 0; // EnableApply calls
    int shownPage = -1;   // last ShowPage
};
extern FrameRecord g_frame;
// The state of the test's main window.
extern ConfigApp g_app;

// The test's main window, pages placed as the frame places them.
HWND CreateTestMainWindow();
void CreateTestPages();
void DestroyTestWindows();
