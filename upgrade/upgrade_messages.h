// The upgrade assistant's own window messages, posted to its window by its
// workers and waits. WM_APP + 1 and + 2 are the installer's messages to the
// assistant (kMsgUpgradeInstalling, kMsgUpgradeRestarting in signals.h);
// these follow them.
#pragma once

#include "signals.h"

#include <windows.h>

// Posted by the download's receiver when the exchange is over: wParam the
// InstallerVerdict, lParam the detail (status or error number).
constexpr UINT kMsgDownloadDone = WM_APP + 3;
// Posted by the download's receiver: wParam the percentage received (the
// bar's range is 0 to 100 once a length is announced).
constexpr UINT kMsgDownloadProgress = WM_APP + 4;
// Posted by the version check's worker: lParam its result, which the window
// thread shows and frees.
constexpr UINT kMsgVersionChecked = WM_APP + 5;
// Posted from a wait on the started installer's process when it has ended.
constexpr UINT kMsgInstallerEnded = WM_APP + 6;

static_assert(kMsgDownloadDone > kMsgUpgradeInstalling && kMsgDownloadDone > kMsgUpgradeRestarting,
              "the assistant's own messages stay clear of the installer's");
