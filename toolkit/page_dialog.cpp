// One dialog procedure for every page and dialog: it finds the window's
// binding (its kind, state and typed handlers) in the window's user data.
#include "page_dialog.h"

#include "scoped.h"
#include "screen_scale.h"

#include <utility>
#include <vector>

namespace {

// A page's controls in dialog units, learnt when the page is first laid
// out, and the template's font made for another scale once there is one.
struct PageLayout {
    struct Place {
        HWND control;
        RECT units; // left, top, width, height
    };
    std::vector<Place> places;
    SIZE units = {};     // the page's own size
    int dpiY = 0;        // the scale the dialog was made at; 0 until learnt
    ScopedGdi font;      // the template's font at another scale, or none
};

struct Page {
    PageBinding binding;
    // The maker's flag, set when the dialog takes the page at WM_INITDIALOG:
    // from then on the dialog frees the page, and the maker must not read
    // the page again, since the dialog may be gone when its call returns.
    bool *taken;
    PageLayout layout;
};

Page *PageOf(HWND page) { return (Page *)GetWindowLongPtrA(page, DWLP_USER); }

void Free(Page *page)
{
    if (page->binding.freeState)
        page->binding.freeState(page->binding.state);
    delete page; // the controls, and with them the use of its font, are gone
}

// A place in dialog units (left, top, width, height) in pixels as the
// dialog manager makes them: base units (x, y) for 4 units across and 8
// down, each figure rounded on its own.
RECT ToPixels(const RECT &units, SIZE base)
{
    int left = MulDiv(units.left, base.cx, 4), top = MulDiv(units.top, base.cy, 8);
    return {left, top, left + MulDiv(units.right, base.cx, 4), top + MulDiv(units.bottom, base.cy, 8)};
}

// Pixels the dialog manager made from units back to the units, exact
// while a unit is at least one pixel.
int ToUnits(int pixels, int base, int per) { return MulDiv(pixels, per, base); }

// The dialog manager's base units for font: the average width of the
// letters and the font's height.
SIZE BaseUnits(HFONT font)
{
    SIZE base = {0, 0};
    ScopedGetDC screen(NULL);
    if (!screen.get() || !font)
        return base;
    ScopedSelect select(screen.get(), font);
    TEXTMETRICA metrics;
    SIZE letters;
    const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    if (GetTextMetricsA(screen.get(), &metrics) &&
        GetTextExtentPoint32A(screen.get(), kLetters, sizeof kLetters - 1, &letters)) {
        base.cx = (letters.cx / 26 + 1) / 2;
        base.cy = metrics.tmHeight;
    }
    return base;
}

SIZE PageBaseUnits(HWND page)
{
    RECT r = {0, 0, 4, 8};
    MapDialogRect(page, &r);
    return {r.right, r.bottom};
}

// The controls' places in dialog units, from where the dialog put them.
void LearnLayout(HWND page, PageLayout &layout)
{
    SIZE base = PageBaseUnits(page);
    if (base.cx <= 0 || base.cy <= 0)
        return;
    layout.dpiY = ReadScreenScale().dpiY; // a dialog is made at the screen's scale
    RECT client = {};
    GetClientRect(page, &client);
    layout.units = {ToUnits(client.right, base.cx, 4), ToUnits(client.bottom, base.cy, 8)};
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        RECT r = {};
        GetWindowRect(child, &r);
        MapWindowPoints(NULL, page, (POINT *)&r, 2);
        RECT units = {ToUnits(r.left, base.cx, 4), ToUnits(r.top, base.cy, 8), ToUnits(r.right - r.left, base.cx, 4),
                      ToUnits(r.bottom - r.top, base.cy, 8)};
        layout.places.push_back({child, units});
    }
}

// Gives the page's controls the template's font at dpiY (the dialog's own
// at the scale it was made at), and answers the base units in that font.
SIZE UseFontAt(HWND page, PageLayout &layout, int dpiY)
{
    HFONT own = (HFONT)SendMessageA(page, WM_GETFONT, 0, 0);
    ScopedGdi made;
    if (dpiY != layout.dpiY)
        made.reset(CreateFontAtScale(own, layout.dpiY, dpiY, true));
    HFONT font = made ? (HFONT)made.get() : own;
    SIZE base = made ? BaseUnits(font) : PageBaseUnits(page);
    if (base.cx <= 0 || base.cy <= 0)
        return {0, 0};
    for (const PageLayout::Place &place : layout.places)
        if (IsWindow(place.control))
            SendMessageA(place.control, WM_SETFONT, (WPARAM)font, FALSE);
    layout.font = std::move(made); // the font before goes: no control uses it now
    return base;
}


INT_PTR Dispatch(HWND window, const Page &page, UINT message, WPARAM wParam, LPARAM lParam)
{
    const PageBinding &b = page.binding;
    INT_PTR result = 0;
    if (b.look && b.look(window, message, wParam, lParam, &result))
        return result;
    return b.dispatch(b.kind, b.state, window, message, wParam, lParam, &result) ? result : FALSE;
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        Page *page = (Page *)lParam;
        *page->taken = true;
        page->taken = NULL;
        SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)page);
        // The look does not see WM_INITDIALOG: the page's own init comes first.
        INT_PTR result = TRUE;
        page->binding.dispatch(page->binding.kind, page->binding.state, window, message, wParam, lParam, &result);
        return result;
    }
    Page *page = PageOf(window);
    if (!page)
        return FALSE; // before WM_INITDIALOG
    if (message == WM_NCDESTROY) {
        // The last message: the state goes with the page.
        SetWindowLongPtrA(window, DWLP_USER, 0);
        Free(page);
        return FALSE;
    }
    return Dispatch(window, *page, message, wParam, lParam);
}

// The page behind a window of PageProc; NULL for any other window.
const Page *BoundPage(HWND window)
{
    if (!window || GetWindowLongPtrA(window, DWLP_DLGPROC) != (LONG_PTR)PageProc)
        return NULL;
    return PageOf(window);
}

// Hands a new page record to make, which makes the dialog with it as its
// parameter; frees the record when the dialog never took it.
template <class Make> auto WithPage(const PageBinding &binding, Make make)
{
    bool taken = false;
    Page *page = new Page{binding, &taken, {}};
    auto result = make((LPARAM)page);
    if (!taken)
        Free(page);
    return result;
}

} // namespace

HWND CreateBoundPage(HINSTANCE instance, int templateId, HWND parent, const PageBinding &binding)
{
    return WithPage(binding, [&](LPARAM page) {
        return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, PageProc, page);
    });
}

INT_PTR RunBoundDialog(HINSTANCE instance, int templateId, HWND owner, const PageBinding &binding)
{
    return WithPage(binding, [&](LPARAM page) {
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, PageProc, page);
    });
}

void *BoundPageState(HWND page, const void *kind)
{
    const Page *bound = BoundPage(page);
    return bound && bound->binding.kind == kind ? bound->binding.state : NULL;
}

void FitPage(HWND page, int width, int height, int dpiY)
{
    Page *record = const_cast<Page *>(BoundPage(page));
    if (!record)
        return;
    PageLayout &layout = record->layout;
    bool first = layout.dpiY == 0;
    if (first)
        LearnLayout(page, layout);
    if (layout.dpiY == 0)
        return;
    RECT client = {};
    GetClientRect(page, &client);
    // The first time the dialog's own places are the template's: at the
    // scale the page was made at, nothing may move by a rounding.
    SIZE base = first ? PageBaseUnits(page) : UseFontAt(page, layout, dpiY);
    RECT size = ToPixels({0, 0, layout.units.cx, layout.units.cy}, base);
    if (first)
        size = client;
    if (size.right <= 0 || size.bottom <= 0)
        return;
    double fx = width / (double)size.right;
    double fy = height / (double)size.bottom;
    for (const PageLayout::Place &place : layout.places) {
        RECT r = ToPixels(place.units, base);
        if (first) {
            GetWindowRect(place.control, &r);
            MapWindowPoints(NULL, page, (POINT *)&r, 2);
        }
        int left = (int)(r.left * fx), top = (int)(r.top * fy);
        MoveWindow(place.control, left, top, (int)(r.right * fx) - left, (int)(r.bottom * fy) - top, FALSE);
    }
    SetWindowPos(page, NULL, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
