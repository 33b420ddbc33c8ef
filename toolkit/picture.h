// Pictures the window programs keep in their resources as GIF files:
// decoded once by the system's picture loader, rendered once into a memory
// bitmap at their pixel size, then only copied.
#pragma once

#include "scoped.h"

#include <windows.h>
#include <ocidl.h>

// The "IMAGE" resource decoded by the system's picture loader (OLE), or
// NULL when it is missing or cannot be decoded. The caller releases it.
IPicture *LoadPictureResource(HINSTANCE module, int resource);

// A GIF resource decoded once and rendered once into a memory bitmap;
// drawing is then a plain block copy. The bitmap stays selected into the
// memory device context, which is deleted first and so lets it go.
struct Image {
    ComPtr<IPicture> picture;
    ScopedGdi bitmap;       // selected into dc
    ScopedMemDc dc;         // memory device context, made by PrepareImage
    int width = 0;          // pixels, known once prepared
    int height = 0;
};

// 1 when the "IMAGE" resource decoded, else 0 (the image stays empty).
int LoadImageResource(Image &image, HINSTANCE module, int resource);
void PrepareImage(Image &image, HDC dc);  // once; later calls do nothing
void DrawImage(const Image &image, HDC dc, int x, int y, int width, int height);
// Draws the image's columns from sourceX on, sourceWidth of them, stretched
// across width (a strip on a screen of more dots per inch).
void DrawImageColumns(const Image &image, HDC dc, int x, int y, int width, int height, int sourceX,
                      int sourceWidth);
void FreeImage(Image &image);
