// TalLink: a static control made a hyperlink. The control and its parent
// are subclassed; all state lives in window properties, so any number of
// links may share a parent and nothing outlives the windows.
#include "tal_controls.h"

namespace {

const char kOriginalProc[] = "_TalLink_Original_Proc_";
const char kOriginalFont[] = "_TalLink_Original_Font_";
const char kFromStatic[] = "_TalLink_From_Static_";
const char kMouseState[] = "_TalLink_Mouse_State_";
const COLORREF kHoverColour = RGB(204, 51, 51);

enum MouseState { kNormal = 0, kOver = 1, kClicked = 2 };

WNDPROC SavedProc(HWND window) { return (WNDPROC)GetPropA(window, kOriginalProc); }

LRESULT CallSaved(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC saved = SavedProc(window);
    return saved ? CallWindowProcA(saved, window, message, wParam, lParam)
                 : DefWindowProcA(window, message, wParam, lParam);
}

void SetState(HWND link, int state) { SetPropA(link, kMouseState, (HANDLE)(INT_PTR)state); }
int State(HWND link) { return (int)(INT_PTR)GetPropA(link, kMouseState); }

void Restore(HWND window)
{
    WNDPROC saved = SavedProc(window);
    if (saved)
        SetWindowLongPtrA(window, GWLP_WNDPROC, (LONG_PTR)saved);
}

void Activate(HWND link)
{
    SendMessageA(GetParent(link), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(link), 0), (LPARAM)link);
}

// The focus rectangle is drawn by inversion: the second call erases it.
void InvertFocusRect(HWND link)
{
    HWND parent = GetParent(link);
    if (!parent)
        return;
    RECT r;
    GetWindowRect(link, &r);
    MapWindowPoints(NULL, parent, (POINT *)&r, 2);
    HDC dc = GetDC(parent);
    if (dc) {
        DrawFocusRect(dc, &r);
        ReleaseDC(parent, dc);
    }
}

bool OutsideWindow(HWND link, LPARAM lParam)
{
    POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
    ClientToScreen(link, &p);
    RECT r;
    GetWindowRect(link, &r);
    return !PtInRect(&r, p);
}

void OnMouseMove(HWND link, LPARAM lParam)
{
    if (GetCapture() == link) {
        if (OutsideWindow(link, lParam)) {
            SetState(link, kNormal);
            InvalidateRect(link, NULL, FALSE);
            ReleaseCapture();
        }
    } else {
        SetState(link, kOver);
        InvalidateRect(link, NULL, FALSE);
        SetCapture(link);
    }
}

// False when the click does not count: a disabled page, or a press that
// did not start on the link.
bool OnButtonUp(HWND link)
{
    if (!IsWindowEnabled(GetParent(link)) || GetCapture() != link)
        return false;
    ReleaseCapture();
    SetState(link, kClicked);
    InvalidateRect(link, NULL, TRUE);
    Activate(link);
    return true;
}

void OnDestroy(HWND link)
{
    Restore(link);
    HFONT font = (HFONT)GetPropA(link, kOriginalFont);
    RemovePropA(link, kOriginalProc);
    RemovePropA(link, kOriginalFont);
    RemovePropA(link, kFromStatic);
    RemovePropA(link, kMouseState);
    // Nothing draws with it once the control is going.
    if (font)
        DeleteObject(font);
}

LRESULT CALLBACK LinkProc(HWND link, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvertFocusRect(link);
        return 0;
    case WM_LBUTTONDOWN:
        return 0;
    case WM_SETCURSOR: {
        HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
        SetCursor(hand ? hand : LoadCursorA(NULL, IDC_ARROW));
        return 1;
    }
    case WM_MOUSEMOVE:
        OnMouseMove(link, lParam);
        break;
    case WM_LBUTTONUP:
        if (!OnButtonUp(link))
            return 0;
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Activate(link);
        break;
    case WM_DESTROY: {
        WNDPROC saved = SavedProc(link);
        OnDestroy(link);
        return saved ? CallWindowProcA(saved, link, message, wParam, lParam)
                     : DefWindowProcA(link, message, wParam, lParam);
    }
    }
    return CallSaved(link, message, wParam, lParam);
}

LRESULT CALLBACK LinkParentProc(HWND parent, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CTLCOLORSTATIC: {
        HWND control = (HWND)lParam;
        if (!GetPropA(control, kFromStatic))
            break;
        LRESULT brush = CallSaved(parent, message, wParam, lParam);
        SetTextColor((HDC)wParam, State(control) == kOver ? kHoverColour : GetSysColor(COLOR_HOTLIGHT));
        return brush;
    }
    case WM_DESTROY: {
        WNDPROC saved = SavedProc(parent);
        Restore(parent);
        RemovePropA(parent, kOriginalProc);
        return saved ? CallWindowProcA(saved, parent, message, wParam, lParam)
                     : DefWindowProcA(parent, message, wParam, lParam);
    }
    }
    return CallSaved(parent, message, wParam, lParam);
}

HFONT MakeUnderlinedFont(HWND control)
{
    HFONT font = (HFONT)SendMessageA(control, WM_GETFONT, 0, 0);
    if (!font)
        font = (HFONT)GetStockObject(DEFAULT_GUI_FONT);
    LOGFONTA lf;
    if (!GetObjectA(font, sizeof lf, &lf))
        return NULL;
    lf.lfUnderline = TRUE;
    lf.lfWeight = FW_NORMAL;
    return CreateFontIndirectA(&lf);
}

} // namespace

void AttachLink(HWND control)
{
    HWND parent = GetParent(control);
    if (!control || !parent)
        return;
    if ((WNDPROC)GetWindowLongPtrA(parent, GWLP_WNDPROC) != LinkParentProc) {
        SetPropA(parent, kOriginalProc, (HANDLE)GetWindowLongPtrA(parent, GWLP_WNDPROC));
        SetWindowLongPtrA(parent, GWLP_WNDPROC, (LONG_PTR)LinkParentProc);
    }
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    SetPropA(control, kOriginalProc, (HANDLE)GetWindowLongPtrA(control, GWLP_WNDPROC));
    SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)LinkProc);
    HFONT font = MakeUnderlinedFont(control);
    SetPropA(control, kOriginalFont, font);
    if (font)
        SendMessageA(control, WM_SETFONT, (WPARAM)font, FALSE);
    SetPropA(control, kFromStatic, (HANDLE)1);
    SetState(control, kNormal);
}
