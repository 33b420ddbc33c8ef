// Pictures from the program's GIF resources: decoded once by OLE's picture
// loader, rendered once into a memory bitmap at their pixel size, then only
// copied.
#include "picture.h"

#include <olectl.h>

#include <utility>

IPicture *LoadPictureResource(HINSTANCE module, int resource)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), "IMAGE");
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    const void *bytes = loaded ? LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0)
        return NULL;
    // The loader reads from a stream over a movable block of its own.
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE, size));
    void *target = block ? GlobalLock(block.get()) : NULL;
    if (!target)
        return NULL;
    CopyMemory(target, bytes, size);
    GlobalUnlock(block.get());
    IPicture *picture = NULL;
    // The stream does not own the block, which outlives it here.
    ComPtr<IStream> stream;
    if (SUCCEEDED(CreateStreamOnHGlobal(block.get(), FALSE, reinterpret_cast<IStream **>(stream.out())))) {
        if (FAILED(OleLoadPicture(stream.get(), (LONG)size, FALSE, IID_IPicture, (void **)&picture)))
            picture = NULL;
    }
    return picture;
}

namespace {

// HIMETRIC to device pixels for the device context's mapping mode.
SIZE PixelSize(HDC dc, OLE_XSIZE_HIMETRIC hmWidth, OLE_YSIZE_HIMETRIC hmHeight)
{
    SIZE size = {0, 0};
    int mode = GetMapMode(dc);
    if (mode == MM_TEXT || mode == MM_ISOTROPIC || mode == MM_ANISOTROPIC) {
        size.cx = MulDiv(hmWidth, GetDeviceCaps(dc, LOGPIXELSX), 2540);
        size.cy = MulDiv(hmHeight, GetDeviceCaps(dc, LOGPIXELSY), 2540);
        return size;
    }
    int saved = SaveDC(dc);
    SetMapMode(dc, MM_HIMETRIC);
    POINT extent = {hmWidth, hmHeight};
    LPtoDP(dc, &extent, 1);
    RestoreDC(dc, saved);
    size.cx = extent.x < 0 ? -extent.x : extent.x;
    size.cy = extent.y < 0 ? -extent.y : extent.y;
    return size;
}

} // namespace

int LoadImageResource(Image &image, HINSTANCE module, int resource)
{
    image.picture.reset(LoadPictureResource(module, resource));
    return image.picture ? 1 : 0;
}

void PrepareImage(Image &image, HDC dc)
{
    if (image.dc || !image.picture)
        return;
    ScopedGetDC screen(NULL);
    if (!dc)
        dc = screen.get();
    OLE_XSIZE_HIMETRIC hmWidth = 0;
    OLE_YSIZE_HIMETRIC hmHeight = 0;
    image.picture->get_Width(&hmWidth);
    image.picture->get_Height(&hmHeight);
    SIZE size = PixelSize(dc, hmWidth, hmHeight);
    ScopedMemDc memory(CreateCompatibleDC(dc));
    ScopedGdi bitmap(memory ? CreateCompatibleBitmap(dc, size.cx, size.cy) : NULL);
    if (!bitmap)
        return;
    SelectObject(memory.get(), bitmap.get());
    image.bitmap = std::move(bitmap);
    image.dc = std::move(memory);
    image.width = size.cx;
    image.height = size.cy;
    // Upright: the source starts at the picture's bottom edge, going up.
    image.picture->Render(image.dc.get(), 0, 0, size.cx, size.cy, 0, hmHeight, hmWidth, -hmHeight, NULL);
}

void DrawImage(const Image &image, HDC dc, int x, int y, int width, int height)
{
    if (image.dc)
        BitBlt(dc, x, y, width, height, image.dc.get(), 0, 0, SRCCOPY);
}

void DrawImageColumns(const Image &image, HDC dc, int x, int y, int width, int height, int sourceX,
                      int sourceWidth)
{
    if (!image.dc)
        return;
    if (sourceWidth == width) {
        BitBlt(dc, x, y, width, height, image.dc.get(), sourceX, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, x, y, width, height, image.dc.get(), sourceX, 0, sourceWidth, height, SRCCOPY);
    }
}

void FreeImage(Image &image)
{
    image.dc.reset(); // first: the bitmap is selected into it
    image.bitmap.reset();
    image.picture.reset();
    image.width = image.height = 0;
}
