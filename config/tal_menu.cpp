// TalMenu: a static control made a navigation button of the status panel.
// With a font it paints its label itself, off-screen, over the panel's
// background strip; without one the static paints itself and the button
// only adds the hand cursor and the click.
#include "tal_controls.h"

#include "scoped.h"

namespace {

const char kInstance[] = "_TalMenu_Instance_";
const char kFont[] = "_TalMenu_Font_Default_";
const char kOriginalProc[] = "_TalMenu_Original_Proc_";
const char kBackground[] = "_TalMenu_BG_Picture_";
const char kMouseState[] = "_TalMenu_Mouse_State_";
// The strip is drawn from this column on, where the buttons stand.
const int kStripOffset = 5;
const int kMaxLabel = 15;

enum MouseState { kNormal = 0, kOver = 1, kPressed = 2 };

LRESULT CallSaved(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC saved = (WNDPROC)GetPropA(button, kOriginalProc);
    return saved ? CallWindowProcA(saved, button, message, wParam, lParam)
                 : DefWindowProcA(button, message, wParam, lParam);
}

void SetState(HWND button, int state) { SetPropA(button, kMouseState, (HANDLE)(INT_PTR)state); }
int State(HWND button) { return (int)(INT_PTR)GetPropA(button, kMouseState); }
Image *Background(HWND button) { return (Image *)GetPropA(button, kBackground); }

COLORREF TextColour(int state)
{
    switch (state) {
    case kOver:
        return RGB(254, 236, 100);
    case kPressed:
        return RGB(254, 0, 0);
    default:
        return RGB(255, 255, 255);
    }
}

void Paint(HWND button, HFONT font)
{
    ScopedPaint paint(button);
    RECT r;
    GetWindowRect(button, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    ScopedMemDc memory(CreateCompatibleDC(paint.get()));
    ScopedGdi bitmap(CreateCompatibleBitmap(paint.get(), width, height));
    if (!memory || !bitmap)
        return;
    ScopedSelect selectBitmap(memory.get(), bitmap.get());
    if (Image *background = Background(button)) {
        PrepareImage(*background, paint.get());
        if (background->dc) {
            // The button is as much wider than at 96 dpi as the screen's
            // dots per inch say, and so is the strip behind it.
            int columns = MulDiv(width, 96, GetDeviceCaps(paint.get(), LOGPIXELSX));
            for (int y = 0; y < height; ++y)
                DrawImageColumns(*background, memory.get(), 0, y, width, 1, kStripOffset, columns);
        }
    }
    ScopedSelect selectFont(memory.get(), font);
    SetTextColor(memory.get(), TextColour(State(button)));
    SetBkMode(memory.get(), TRANSPARENT);
    SetTextAlign(memory.get(), TA_CENTER | TA_TOP);
    char text[kMaxLabel + 1] = "";
    int length = GetWindowTextA(button, text, sizeof text);
    TextOutA(memory.get(), width / 2, 5, text, length);
    BitBlt(paint.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

void DrawFocus(HWND button)
{
    ScopedGetDC dc(button);
    RECT r;
    GetClientRect(button, &r);
    if (dc.get())
        DrawFocusRect(dc.get(), &r);
}

void OnKillFocus(HWND button)
{
    if (Background(button)) {
        InvalidateRect(button, NULL, TRUE);
    } else {
        ShowWindow(button, SW_HIDE);
        ShowWindow(button, SW_SHOW);
    }
}

void Activate(HWND button)
{
    SetState(button, kNormal);
    InvalidateRect(button, NULL, TRUE);
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), 0), (LPARAM)button);
}

void OnMouseMove(HWND button, WPARAM keys, LPARAM lParam)
{
    if (keys == MK_LBUTTON)
        SetState(button, kPressed);
    if (GetCapture() == button) {
        POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        ClientToScreen(button, &p);
        RECT r;
        GetWindowRect(button, &r);
        if (!PtInRect(&r, p)) {
            SetState(button, kNormal);
            InvalidateRect(button, NULL, FALSE);
            ReleaseCapture();
        }
    } else {
        if (!(keys & MK_LBUTTON))
            SetState(button, kOver);
        InvalidateRect(button, NULL, FALSE);
        SetCapture(button);
    }
}

LRESULT CALLBACK MenuButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        HFONT font = (HFONT)GetPropA(button, kFont);
        if (!font)
            break;
        Paint(button, font);
        return 1;
    }
    case WM_SETFOCUS:
        DrawFocus(button);
        return 0;
    case WM_KILLFOCUS:
        OnKillFocus(button);
        return 0;
    case WM_SETCURSOR: {
        HCURSOR hand = LoadCursorA(NULL, IDC_HAND);
        SetCursor(hand ? hand : LoadCursorA(NULL, IDC_ARROW));
        return 1;
    }
    case WM_LBUTTONDOWN:
        SetState(button, kPressed);
        InvalidateRect(button, NULL, TRUE);
        return 0;
    case WM_LBUTTONUP:
        Activate(button);
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Activate(button);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(button, wParam, lParam);
        break;
    }
    return CallSaved(button, message, wParam, lParam);
}

} // namespace

void AttachMenuButton(HWND control, HFONT font, Image *background)
{
    if (!control)
        return;
    SetPropA(control, kInstance, (HANDLE)GetModuleHandleA(NULL));
    SetPropA(control, kFont, font);
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY);
    SetPropA(control, kOriginalProc, (HANDLE)GetWindowLongPtrA(control, GWLP_WNDPROC));
    SetWindowLongPtrA(control, GWLP_WNDPROC, (LONG_PTR)MenuButtonProc);
    if (background)
        SetPropA(control, kBackground, background);
}
