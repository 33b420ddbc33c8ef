// TalTray's own window messages: the ones its window sends itself or hears
// from the shell on its behalf. What other programs send it is in signals.h.
#pragma once

#include <windows.h>

// The shell's notifications about the icon (the icon record's callback
// message): lParam the mouse or balloon event.
constexpr UINT kTrayCallback = WM_USER + 1; // 1025

// The listener hands every pipe message to the window thread with this
// message, so the icon record and the settings are touched by one thread
// only: wParam says which message came, lParam an update result's code.
constexpr UINT kMsgPipeMessage = WM_APP + 1;
constexpr WPARAM kPipeAddressMessage = 0; // "D" and the address
constexpr WPARAM kPipeResultMessage = 1;  // an update result code
