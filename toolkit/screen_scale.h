// Layout by the screen's dots per inch: figures are given at 96 dpi and
// scaled to the screen, truncated, the same way in every window program.
#pragma once

#include <windows.h>

struct ScreenScale {
    int dpiX = 96;
    int dpiY = 96;
};

// The screen's dots per inch; 96 where they cannot be read.
ScreenScale ReadScreenScale();

// A figure of 96 dpi at `dpi` dots per inch.
inline int ScaleBy(int value, int dpi) { return value * dpi / 96; }
inline int ScaleX(const ScreenScale &scale, int value) { return ScaleBy(value, scale.dpiX); }
inline int ScaleY(const ScreenScale &scale, int value) { return ScaleBy(value, scale.dpiY); }
// Pixels across on the screen as a figure of 96 dpi, rounded.
inline int UnscaleX(const ScreenScale &scale, int pixels) { return MulDiv(pixels, 96, scale.dpiX); }
