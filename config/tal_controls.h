// The utility's own look on plain statics: hyperlinks (tal_link.cpp) and
// the status panel's navigation buttons (tal_menu.cpp). Both behaviours are
// attached through the system's subclassing with their state freed with
// the control.
#pragma once

#include "picture.h"
#include "screen_scale.h"

#include <windows.h>

void AttachLink(HWND control);
// The pointing hand over a link or button (the arrow where there is none).
void ShowHandCursor();
// font NULL: the static paints itself but still shows the hand and reports
// clicks; background NULL: no strip behind the text, which is otherwise
// drawn as the panel draws it at the screen's scale.
void AttachMenuButton(HWND control, HFONT font, Image *background, const ScreenScale &scale);
