// The upgrade assistant's header band: three GIF pictures from the
// program's resources, decoded once, rendered once and copied on every paint.
#pragma once

#include "scoped.h"

#include <windows.h>

// A header picture rendered once into a memory bitmap.
struct HeaderPicture {
    int id;
    int width;
    int height;
    void *picture; // IPicture, loaded at start
    ScopedGdi bitmap;
};

struct HeaderArt {
    HeaderPicture pictures[3] = {{110, 180, 54, NULL, {}}, {109, 1, 77, NULL, {}}, {108, 190, 14, NULL, {}}};
};

// Decodes the pictures (COM must be initialised on this thread).
void LoadHeaderPictures(HeaderArt &art, HINSTANCE instance);
// Paints the band across area; the title picture stands at titleX (the one
// scaled figure of the band).
void PaintHeader(HeaderArt &art, HDC dc, const RECT &area, int titleX);
void FreeHeaderPictures(HeaderArt &art);
