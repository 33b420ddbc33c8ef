// Pictures of windows as the screen shows them, for tests that compare two
// windows pixel by pixel and for pictures a person looks at.
#pragma once

#include <windows.h>

// The message Windows sends a window shown at a new scale; the tests' own
// headers target systems that predate it.
#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

#include <string>
#include <vector>

struct WindowPicture {
    int width = 0, height = 0;
    std::vector<unsigned char> pixels; // 24-bit rows, bottom up, each padded to 4 bytes
};

// The window's whole rectangle, or its client area only, from the screen.
WindowPicture TakeWindowPicture(HWND window, bool clientOnly = false);
// The window's picture once its drawing is over: painted again, then taken
// until two pictures in a row are alike (a repaint still under way under
// load, a button drawn late); after five seconds, the last one taken.
WindowPicture SteadyWindowPicture(HWND window, bool clientOnly = false);
// Writes the picture as a 24-bit BMP file.
void SaveWindowPicture(const WindowPicture &picture, const std::string &path);
// The window's picture written to path.
void SaveWindowPicture(HWND window, const std::string &path);
// Sends window (of another process) WM_DPICHANGED for dpi with the
// suggested rectangle, written into that process as the system would;
// false when it could not be sent.
bool SendDpiChange(HWND window, int dpi, const RECT &suggested);
// Every shown control of a window, one a line: class, id and place in the
// window's client area (and a list's column widths), in the order the
// window holds them.
std::string ControlPlaces(HWND window);
// "" when both are alike (within area, when given, in the pictures' own
// coordinates), else how many pixels differ and within which box.
std::string PictureDifference(const WindowPicture &a, const WindowPicture &b, const RECT *area = NULL);
