// The header band of the upgrade assistant: three GIF pictures from the
// program's resources, decoded once through OLE, rendered into memory
// bitmaps on first paint and copied on every paint.
#include "upgrade_app.h"
#include "upgrade_ids.h"
#include "picture.h"

#include <ocidl.h>
#include <olectl.h>

namespace {

// The picture at its natural pixel size in a bitmap compatible with the screen.
void Render(HeaderPicture &p, HDC dc)
{
    IPicture *picture = (IPicture *)p.picture;
    if (!picture || p.bitmap)
        return;
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    picture->get_Width(&hmWidth);
    picture->get_Height(&hmHeight);
    ScopedMemDc memory(CreateCompatibleDC(dc));
    p.bitmap.reset(CreateCompatibleBitmap(dc, p.width, p.height));
    if (!memory || !p.bitmap)
        return;
    ScopedSelect select(memory.get(), p.bitmap.get());
    picture->Render(memory.get(), 0, 0, p.width, p.height, 0, hmHeight, hmWidth, -hmHeight, NULL);
}

void Copy(HDC dc, const HeaderPicture &p, int x, int y, int width)
{
    if (!p.bitmap)
        return;
    ScopedMemDc memory(CreateCompatibleDC(dc));
    ScopedSelect select(memory.get(), p.bitmap.get());
    BitBlt(dc, x, y, width, p.height, memory.get(), 0, 0, SRCCOPY);
}

HeaderPicture &Picture(int id)
{
    for (HeaderPicture &p : g_app.pictures) {
        if (p.id == id)
            return p;
    }
    return g_app.pictures[0];
}

} // namespace

void LoadHeaderPictures()
{
    for (HeaderPicture &p : g_app.pictures)
        p.picture = LoadPictureResource(g_app.instance, p.id);
}

void PaintHeader(HWND, HDC dc, const RECT &area)
{
    for (HeaderPicture &p : g_app.pictures)
        Render(p, dc);
    const HeaderPicture &band = Picture(IDP_HEADER_BAND);
    for (int x = area.left - 1; x < area.right; ++x)
        Copy(dc, band, x, 0, band.width);
    Copy(dc, Picture(IDP_HEADER_LOGO), 6, 10, 180);
    Copy(dc, Picture(IDP_HEADER_TITLE), ScaleX(215), 47, 188);
}

void FreeHeaderPictures()
{
    for (HeaderPicture &p : g_app.pictures) {
        p.bitmap.reset();
        if (p.picture)
            ((IPicture *)p.picture)->Release();
        p.picture = NULL;
    }
}
