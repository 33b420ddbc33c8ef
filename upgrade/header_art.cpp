// The header band of the upgrade assistant. The pictures keep their pixel
// size at every screen scale; only the title's left edge follows the scale.
#include "header_art.h"
#include "upgrade_ids.h"

namespace {

// Where the pictures stand, in pixels from the window's top left corner,
// and how much of each is copied.
const int kLogoX = 6, kLogoY = 10, kLogoWidth = 180;
const int kTitleY = 47, kTitleWidth = 188;

} // namespace

void LoadHeaderPictures(HeaderArt &art, HINSTANCE instance)
{
    LoadImageResource(art.band, instance, IDP_HEADER_BAND);
    LoadImageResource(art.logo, instance, IDP_HEADER_LOGO);
    LoadImageResource(art.title, instance, IDP_HEADER_TITLE);
}

void PaintHeader(HeaderArt &art, HDC dc, const RECT &area, int titleX)
{
    PrepareImage(art.band, dc);
    PrepareImage(art.logo, dc);
    PrepareImage(art.title, dc);
    for (int x = area.left - 1; x < area.right; ++x)
        DrawImage(art.band, dc, x, 0, art.band.width, art.band.height);
    DrawImage(art.logo, dc, kLogoX, kLogoY, kLogoWidth, art.logo.height);
    DrawImage(art.title, dc, titleX, kTitleY, kTitleWidth, art.title.height);
}

void FreeHeaderPictures(HeaderArt &art)
{
    FreeImage(art.band);
    FreeImage(art.logo);
    FreeImage(art.title);
}
