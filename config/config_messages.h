// The utility's own window messages: what its pages, workers, progress
// window and pipe listener tell one another inside TalUpConfig. TalLib's
// host-list rows (kMsgHostList*) cross programs and stay in signals.h.
#pragma once

#include <windows.h>

// A refresh worker is done: lParam its result, which the Home page applies
// and frees (refresh.cpp).
constexpr UINT kMsgShowAddress = WM_APP + 10;
constexpr UINT kMsgHostRefreshDone = WM_APP + 11;
// The pipe listener's poll, to the main window: wParam 1 the updater is
// active, 0 not.
constexpr UINT kMsgUpdaterActivity = WM_APP + 16; // 0x8010
// From a page to the main window: a setting the page shows was changed
// (the frame offers Apply); show page wParam (a PageIndex); show status
// wParam, as the status rule decides.
constexpr UINT kMsgPageChanged = WM_APP + 20;
constexpr UINT kMsgShowPage = WM_APP + 21;
constexpr UINT kMsgShowStatus = WM_APP + 22;
// From the main window to a page: the window is shown at a new scale,
// lParam the ScreenScale (valid for the call). The page lays itself out
// again (FitPageToFrame) and redoes what it sized by the scale.
constexpr UINT kMsgPageScaleChanged = WM_APP + 23;
// Asks a progress window to close itself.
constexpr UINT kMsgCloseProgress = WM_APP + 40;
