// The utility's own look on plain statics: hyperlinks (TalLink), navigation
// buttons (TalMenu) and pictures decoded once from GIF resources. Both
// behaviours are attached through the system's subclassing with their
// state freed with the control, so the attaching object need not outlive
// the call.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <olectl.h>

// A GIF resource decoded once and rendered once into a memory bitmap;
// drawing is then a plain block copy.
struct Image {
    IPicture *picture = NULL;
    HDC dc = NULL;          // memory device context, made by PrepareImage
    HBITMAP bitmap = NULL;  // selected into dc
    HGDIOBJ oldBitmap = NULL;
    int width = 0;          // pixels, known once prepared
    int height = 0;
};

// 1 when the "IMAGE" resource decoded, else 0 (the image stays empty).
int LoadImageResource(Image &image, HINSTANCE module, int resource);
void PrepareImage(Image &image, HDC dc);  // once; later calls do nothing
void DrawImage(const Image &image, HDC dc, int x, int y, int width, int height);
// Draws the image's columns from sourceX on, sourceWidth of them, stretched
// across width (the panel's strip on a screen of more dots per inch).
void DrawImageColumns(const Image &image, HDC dc, int x, int y, int width, int height, int sourceX,
                      int sourceWidth);
void FreeImage(Image &image);

void AttachLink(HWND control);
// The pointing hand over a link or button (the arrow where there is none).
void ShowHandCursor();
// font NULL: the static paints itself but still shows the hand and reports
// clicks; background NULL: no strip behind the text.
void AttachMenuButton(HWND control, HFONT font, Image *background);

class TalLink {
public:
    explicit TalLink(HWND control) { AttachLink(control); }
    virtual ~TalLink() {}
};

class TalMenu {
public:
    TalMenu(HWND control, HFONT font, Image *background) { AttachMenuButton(control, font, background); }
    virtual ~TalMenu() {}
};
