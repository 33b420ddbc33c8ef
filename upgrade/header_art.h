// The upgrade assistant's header band: three GIF pictures from the
// program's resources (toolkit/picture.h), decoded once, rendered once and
// copied on every paint.
#pragma once

#include "picture.h"

#include <windows.h>

struct HeaderArt {
    Image band;  // one column, repeated across the window
    Image logo;
    Image title;
};

// Decodes the pictures (COM must be initialised on this thread).
void LoadHeaderPictures(HeaderArt &art, HINSTANCE instance);
// Paints the band across area; the title picture stands at titleX (the one
// scaled figure of the band).
void PaintHeader(HeaderArt &art, HDC dc, const RECT &area, int titleX);
void FreeHeaderPictures(HeaderArt &art);
