// The "please wait" window shown while a refresh runs: caption-less, in
// front, with a marquee bar and a Cancel button that gives the user the
// window back while the refresh goes on in the background.
#include "progress_window.h"

#include "config_ids.h"
#include "placement.h"

#include <commctrl.h>

namespace {

// Asks a progress window to close itself.
const UINT kMsgCloseProgress = WM_APP + 40;
const char kOwnerProperty[] = "TalProgressOwner"; // the window the refresh disabled
const int kMarqueeMs = 50;
// The marquee bar below the text, in pixels at every scale, where it has
// always stood.
const int kBarX = 10, kBarY = 36, kBarWidth = 316, kBarHeight = 20;

void AddMarquee(HWND window)
{
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH | PBS_MARQUEE, kBarX, kBarY,
                               kBarWidth, kBarHeight, window, NULL, (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE),
                               NULL);
    if (bar)
        SendMessageA(bar, PBM_SETMARQUEE, TRUE, kMarqueeMs);
}

// Closes the window and gives its owner back; the owner stays disabled no
// longer than its window does.
void Finish(HWND window)
{
    HWND owner = (HWND)GetPropA(window, kOwnerProperty);
    ShowWindow(window, SW_HIDE);
    if (owner && IsWindow(owner))
        EnableWindow(owner, TRUE);
    DestroyWindow(window);
}

INT_PTR CALLBACK ProgressProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        SetPropA(window, kOwnerProperty, (HANDLE)lParam);
        CentreWindow(window, (HWND)lParam);
        AddMarquee(window);
        return TRUE;
    case WM_COMMAND:
        // Only the Cancel button; Escape and Enter would close it too easily.
        if (LOWORD(wParam) == IDC_PROGRESS_CANCEL && HIWORD(wParam) == BN_CLICKED)
            Finish(window);
        return TRUE;
    case kMsgCloseProgress:
        Finish(window);
        return TRUE;
    case WM_DESTROY:
        RemovePropA(window, kOwnerProperty);
        return FALSE;
    }
    return FALSE;
}

} // namespace

HWND CreateProgressWindow(HWND parent)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(parent, GWLP_HINSTANCE);
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_PROGRESS), parent, ProgressProc, (LPARAM)parent);
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

void CloseProgressWindow(HWND progress, HWND parent)
{
    // Called on the window thread when the refresh's result arrives. After
    // Cancel the window is gone and only the front changes; the property
    // tells it from a window that has reused the handle.
    if (progress && IsWindow(progress) && GetPropA(progress, kOwnerProperty) == (HANDLE)parent)
        SendMessageA(progress, kMsgCloseProgress, 0, 0);
    HWND front = parent ? GetAncestor(parent, GA_ROOT) : NULL;
    if (front)
        SetForegroundWindow(front);
}
