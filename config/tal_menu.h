// A static control made a navigation button of the status panel, through
// the system's subclassing; its state is freed with the control.
#pragma once

#include "picture.h"
#include "screen_scale.h"

#include <windows.h>

// font NULL: the static paints itself but still shows the hand and reports
// clicks; background NULL: no strip behind the text, which is otherwise
// drawn as the panel draws it at the screen's scale. The button is in the
// Tab order and read as a push button named by its text, or by nameFrom's
// when given (a hot spot with no text of its own).
void AttachMenuButton(HWND control, HFONT font, Image *background, const ScreenScale &scale, HWND nameFrom = NULL);
// The window is shown at a new scale: the button paints its label in font
// (when it paints one) and its strip for that scale.
void SetMenuButtonScale(HWND control, HFONT font, const ScreenScale &scale);
