// TalUpPs's own window messages. What other programs send it (WM_USER with
// the updater's command codes) is in signals.h.
#pragma once

#include <windows.h>

// Posted by the network-change callbacks, which run on the system's threads.
constexpr UINT kNetworkChangedMessage = WM_APP + 1;
