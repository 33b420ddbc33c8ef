// A static control made a hyperlink. The control gets the link's
// behaviour and its parent the link colours, both through the system's
// subclassing; the link's state is freed with the control.
#include "tal_link.h"

#include "accessible.h"
#include "contrast.h"
#include "scoped.h"
#include "subclass.h"

#include <commctrl.h>

#include <utility>

namespace {

// Behaviour ids: one for a link, one for the parent of any number of links.
const UINT_PTR kLinkBehaviour = 1;
const UINT_PTR kLinkParentBehaviour = 2;
const COLORREF kHoverColour = RGB(204, 51, 51);

enum MouseState { kNormal = 0, kOver = 1, kClicked = 2 };

struct Link {
    ScopedGdi font; // the underlined font, gone with the control
    int state = kNormal;
};

void FreeLink(void *link) { delete (Link *)link; }

// The link's font: font underlined, at normal weight.
HFONT UnderlinedCopy(HFONT font)
{
    if (!font)
        font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTA lf;
    if (!GetObjectA(font, sizeof lf, &lf))
        return NULL;
    lf.lfUnderline = TRUE;
    lf.lfWeight = FW_NORMAL;
    return CreateFontIndirectA(&lf);
}

// A new font for the link (its page at a new scale) is underlined too;
// the link's font before goes once the control no longer uses it.
LRESULT OnSetFont(HWND control, Link &link, WPARAM wParam, LPARAM lParam)
{
    if ((HFONT)wParam == link.font.get())
        return DefSubclassProc(control, WM_SETFONT, wParam, lParam);
    ScopedGdi underlined(UnderlinedCopy((HFONT)wParam));
    if (!underlined)
        return DefSubclassProc(control, WM_SETFONT, wParam, lParam);
    LRESULT result = DefSubclassProc(control, WM_SETFONT, (WPARAM)underlined.get(), lParam);
    link.font = std::move(underlined);
    return result;
}

void Activate(HWND control)
{
    SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), 0), (LPARAM)control);
}

// The whole link is repainted each time, then its focus rectangle drawn
// over it once: drawn by inversion, a rectangle drawn twice would vanish.
LRESULT PaintLink(HWND control, WPARAM wParam, LPARAM lParam)
{
    InvalidateRect(control, NULL, FALSE);
    LRESULT result = DefSubclassProc(control, WM_PAINT, wParam, lParam);
    DrawFocusCue(control);
    return result;
}

bool OutsideWindow(HWND control, LPARAM lParam)
{
    POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(control, &p);
    RECT r;
    GetWindowRect(control, &r);
    return !PtInRect(&r, p);
}

void OnMouseMove(HWND control, Link &link, LPARAM lParam)
{
    if (GetCapture() == control) {
        if (OutsideWindow(control, lParam)) {
            link.state = kNormal;
            InvalidateRect(control, NULL, FALSE);
            ReleaseCapture();
        }
    } else {
        link.state = kOver;
        InvalidateRect(control, NULL, FALSE);
        SetCapture(control);
    }
}

// False when the click does not count: a disabled page, or a press that
// did not start on the link.
bool OnButtonUp(HWND control, Link &link)
{
    if (!IsWindowEnabled(GetParent(control)) || GetCapture() != control)
        return false;
    ReleaseCapture();
    link.state = kClicked;
    InvalidateRect(control, NULL, TRUE);
    Activate(control);
    return true;
}

LRESULT LinkProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, void *state)
{
    Link &link = *(Link *)state;
    switch (message) {
    case WM_PAINT:
        return PaintLink(control, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(control, NULL, TRUE);
        return 0;
    case WM_UPDATEUISTATE:
        InvalidateRect(control, NULL, TRUE);
        break;
    case WM_GETDLGCODE:
        return DefSubclassProc(control, message, wParam, lParam) | KeysWanted(lParam);
    case WM_LBUTTONDOWN:
        return 0;
    case WM_SETFONT:
        return OnSetFont(control, link, wParam, lParam);
    case WM_SETCURSOR:
        ShowHandCursor();
        return 1;
    case WM_MOUSEMOVE:
        OnMouseMove(control, link, lParam);
        break;
    case WM_LBUTTONUP:
        if (!OnButtonUp(control, link))
            return 0;
        break;
    case WM_KEYDOWN:
        if (IsFirstPress(wParam, lParam, VK_RETURN))
            Activate(control);
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Activate(control);
        break;
    }
    return DefSubclassProc(control, message, wParam, lParam);
}

// The parent colours each of its links' text by the link's mouse state.
LRESULT LinkParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, void *)
{
    if (message == WM_CTLCOLORSTATIC) {
        const Link *link = (const Link *)BehaviourState((HWND)lParam, kLinkBehaviour);
        if (link) {
            LRESULT brush = DefSubclassProc(parent, message, wParam, lParam);
            COLORREF over = ContrastColour(kHoverColour, COLOR_HIGHLIGHT);
            SetTextColor((HDC)wParam, link->state == kOver ? over : GetSysColor(COLOR_HOTLIGHT));
            return brush;
        }
    }
    return DefSubclassProc(parent, message, wParam, lParam);
}

HFONT MakeUnderlinedFont(HWND control) { return UnderlinedCopy((HFONT)SendMessageA(control, WM_GETFONT, 0, 0)); }

} // namespace

bool FocusCueShown(HWND control)
{
    return GetFocus() == control && !(SendMessageA(control, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

void DrawFocusCue(HWND control)
{
    if (!FocusCueShown(control))
        return;
    RECT r;
    GetClientRect(control, &r);
    ScopedGetDC dc(control);
    if (dc.get())
        DrawFocusRect(dc.get(), &r);
}

LRESULT KeysWanted(LPARAM lParam)
{
    const MSG *msg = (const MSG *)lParam;
    return msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN ? DLGC_WANTMESSAGE : 0;
}

bool IsFirstPress(WPARAM wParam, LPARAM lParam, WPARAM key) { return wParam == key && !(lParam & (1 << 30)); }

void ShowHandCursor()
{
    HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
    SetCursor(hand ? hand : LoadCursorA(NULL, IDC_ARROW));
}

void AttachLink(HWND control)
{
    HWND parent = GetParent(control);
    if (!control || !parent)
        return;
    if (!BehaviourState(parent, kLinkParentBehaviour) &&
        !AttachBehaviour(parent, kLinkParentBehaviour, LinkParentProc, (void *)1, NULL))
        return;
    Link *link = new Link();
    link->font.reset(MakeUnderlinedFont(control));
    if (!AttachBehaviour(control, kLinkBehaviour, LinkProc, link, FreeLink))
        return;
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    if (link->font)
        SendMessageA(control, WM_SETFONT, (WPARAM)link->font.get(), FALSE);
    AttachAccessibleControl(control, ROLE_SYSTEM_LINK, NULL, NULL);
}
