// TalTray's own window messages: the ones its window sends itself or hears
// from the shell on its behalf. What other programs send it is in signals.h.
#pragma once

#include <windows.h>
#include <shellapi.h>

// The shell's notifications about the icon (the icon record's callback
// message): lParam the mouse or balloon event.
constexpr UINT kTrayCallback = WM_USER + 1; // 1025

// The hidden top-level window heard WM_DISPLAYCHANGE (message-only
// windows hear no broadcasts): the icon's image may change with the scale.
constexpr UINT kMsgDisplayChanged = WM_APP + 2;

// True for the icon events after which the icon has done a burst of work
// (started a program, shown its menu, seen a balloon end) and gives its
// working set back; false for the pointer passing over it and the other
// mouse events, which come many to a gesture.
constexpr bool IconEventEndsWork(LPARAM event)
{
    switch (event) {
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case NIN_BALLOONUSERCLICK:
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
        return true;
    }
    return false;
}

// The listener hands every pipe message to the window thread with this
// message, so the icon record and the settings are touched by one thread
// only: wParam says which message came, lParam an update result's code.
constexpr UINT kMsgPipeMessage = WM_APP + 1;
constexpr WPARAM kPipeAddressMessage = 0; // "D" and the address
constexpr WPARAM kPipeResultMessage = 1;  // an update result code
