// A static control made a navigation button of the status panel.
// With a font it paints its label itself, off-screen, over the panel's
// background strip; without one the static paints itself and the button
// only adds the hand cursor and the click. The behaviour is attached
// through the system's subclassing and its state freed with the control.
#include "tal_menu.h"

#include "tal_link.h"

#include "accessible.h"
#include "contrast.h"
#include "scoped.h"
#include "subclass.h"

#include <commctrl.h>

namespace {

const UINT_PTR kMenuBehaviour = 1;
// The strip is drawn from this column on, where the buttons stand.
const int kStripOffset = 5;
// The label's top within the button, in pixels at every scale (the
// button's height and the font grow with the screen, this does not).
const int kLabelTopPixels = 5;
const int kMaxLabel = 15;

enum MouseState { kNormal = 0, kOver = 1, kPressed = 2 };

struct MenuButton {
    HFONT font;         // the panel's, not the button's to delete
    Image *background;  // the frame's strip picture, or NULL
    ScreenScale scale;
    int state = kNormal;
    bool focusDrawn = false; // without a font: the rectangle is on the screen
};

void FreeMenuButton(void *button) { delete (MenuButton *)button; }

// In a high-contrast theme the label stands on the window colour, in the
// theme's text, hot-light and highlight colours.
COLORREF TextColour(int state)
{
    switch (state) {
    case kOver:
        return ContrastColour(RGB(254, 236, 100), COLOR_HOTLIGHT);
    case kPressed:
        return ContrastColour(RGB(254, 0, 0), COLOR_HIGHLIGHT);
    default:
        return ContrastColour(RGB(255, 255, 255), COLOR_WINDOWTEXT);
    }
}

void Paint(HWND button, const MenuButton &state)
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
    if (state.background && HighContrastOn()) {
        RECT all = {0, 0, width, height};
        FillRect(memory.get(), &all, GetSysColorBrush(COLOR_WINDOW));
    } else if (Image *background = state.background) {
        PrepareImage(*background, paint.get());
        if (background->dc) {
            // The button is as much wider than at 96 dpi as the screen's
            // dots per inch say, and so is the strip behind it.
            int columns = UnscaleX(state.scale, width);
            for (int y = 0; y < height; ++y)
                DrawImageColumns(*background, memory.get(), 0, y, width, 1, kStripOffset, columns);
        }
    }
    ScopedSelect selectFont(memory.get(), state.font);
    SetTextColor(memory.get(), TextColour(state.state));
    SetBkMode(memory.get(), TRANSPARENT);
    SetTextAlign(memory.get(), TA_CENTER | TA_TOP);
    char text[kMaxLabel + 1] = "";
    int length = GetWindowTextA(button, text, sizeof text);
    TextOutA(memory.get(), width / 2, kLabelTopPixels, text, length);
    if (FocusCueShown(button)) {
        RECT client = {0, 0, width, height};
        DrawFocusRect(memory.get(), &client);
    }
    BitBlt(paint.get(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

// A button that paints itself draws its focus rectangle as it paints. One
// without a font shows what lies beneath: its rectangle is drawn over that
// once, and taken away by showing the control afresh.
void ShowFocusCue(HWND button, MenuButton &state)
{
    if (state.font) {
        InvalidateRect(button, NULL, TRUE);
        return;
    }
    bool shown = FocusCueShown(button);
    if (shown == state.focusDrawn)
        return;
    if (shown) {
        DrawFocusCue(button);
    } else {
        ShowWindow(button, SW_HIDE);
        ShowWindow(button, SW_SHOW);
    }
    state.focusDrawn = shown;
}

void Activate(HWND button, MenuButton &state)
{
    state.state = kNormal;
    InvalidateRect(button, NULL, TRUE);
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), 0), (LPARAM)button);
}

void OnMouseMove(HWND button, MenuButton &state, WPARAM keys, LPARAM lParam)
{
    if (keys == MK_LBUTTON)
        state.state = kPressed;
    if (GetCapture() == button) {
        POINT p = {(short)LOWORD(lParam), (short)HIWORD(lParam)};
        ClientToScreen(button, &p);
        RECT r;
        GetWindowRect(button, &r);
        if (!PtInRect(&r, p)) {
            state.state = kNormal;
            InvalidateRect(button, NULL, FALSE);
            ReleaseCapture();
        }
    } else {
        if (!(keys & MK_LBUTTON))
            state.state = kOver;
        InvalidateRect(button, NULL, FALSE);
        SetCapture(button);
    }
}

LRESULT MenuButtonProc(HWND button, UINT message, WPARAM wParam, LPARAM lParam, void *data)
{
    MenuButton &state = *(MenuButton *)data;
    switch (message) {
    case WM_PAINT:
        if (!state.font)
            break;
        Paint(button, state);
        return 1;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        ShowFocusCue(button, state);
        return 0;
    case WM_UPDATEUISTATE: {
        LRESULT result = DefSubclassProc(button, message, wParam, lParam);
        ShowFocusCue(button, state);
        return result;
    }
    case WM_GETDLGCODE:
        return DefSubclassProc(button, message, wParam, lParam) | KeysWanted(lParam);
    case WM_SETCURSOR:
        ShowHandCursor();
        return 1;
    case WM_LBUTTONDOWN:
        state.state = kPressed;
        InvalidateRect(button, NULL, TRUE);
        return 0;
    case WM_LBUTTONUP:
        Activate(button, state);
        break;
    case WM_KEYDOWN:
        if (IsFirstPress(wParam, lParam, VK_RETURN))
            Activate(button, state);
        break;
    case WM_KEYUP:
        if (wParam == VK_SPACE)
            Activate(button, state);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(button, state, wParam, lParam);
        break;
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

bool IsPressed(HWND button)
{
    const MenuButton *state = (const MenuButton *)BehaviourState(button, kMenuBehaviour);
    return state && state->state == kPressed;
}

} // namespace

void AttachMenuButton(HWND control, HFONT font, Image *background, const ScreenScale &scale, HWND nameFrom)
{
    if (!control)
        return;
    MenuButton *state = new MenuButton{font, background, scale};
    if (!AttachBehaviour(control, kMenuBehaviour, MenuButtonProc, state, FreeMenuButton))
        return;
    SetWindowLongPtrA(control, GWL_STYLE, GetWindowLongPtrA(control, GWL_STYLE) | SS_NOTIFY | WS_TABSTOP);
    AttachAccessibleControl(control, ROLE_SYSTEM_PUSHBUTTON, nameFrom, IsPressed);
}

void SetMenuButtonScale(HWND control, HFONT font, const ScreenScale &scale)
{
    MenuButton *state = (MenuButton *)BehaviourState(control, kMenuBehaviour);
    if (!state)
        return;
    if (state->font)
        state->font = font;
    state->scale = scale;
    InvalidateRect(control, NULL, FALSE);
}
