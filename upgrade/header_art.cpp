// The header band of the upgrade assistant: three GIF pictures from the
// program's resources, decoded once through OLE, rendered into memory
// bitmaps on first paint and copied on every paint.
#include "header_art.h"
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

HeaderPicture &Picture(HeaderArt &art, int id)
{
    for (HeaderPicture &p : art.pictures) {
        if (p.id == id)
            return p;
    }
    return art.pictures[0];
}

} // namespace

void LoadHeaderPictures(HeaderArt &art, HINSTANCE instance)
{
    for (HeaderPicture &p : art.pictures)
        p.picture = LoadPictureResource(instance, p.id);
}

void PaintHeader(HeaderArt &art, HDC dc, const RECT &area, int titleX)
{
    for (HeaderPicture &p : art.pictures)
        Render(p, dc);
    const HeaderPicture &band = Picture(art, IDP_HEADER_BAND);
    for (int x = area.left - 1; x < area.right; ++x)
        Copy(dc, band, x, 0, band.width);
    Copy(dc, Picture(art, IDP_HEADER_LOGO), 6, 10, 180);
    Copy(dc, Picture(art, IDP_HEADER_TITLE), titleX, 47, 188);
}

void FreeHeaderPictures(HeaderArt &art)
{
    for (HeaderPicture &p : art.pictures) {
        p.bitmap.reset();
        if (p.picture)
            ((IPicture *)p.picture)->Release();
        p.picture = NULL;
    }
}
