// The "please wait" window shown while a refresh runs: caption-less, in
// front, with a marquee bar and a Cancel button that gives the user the
// window back while the refresh goes on in the background.
#include "progress_window.h"

#include "config_ids.h"
#include "config_messages.h"
#include "page_dialog.h"
#include "placement.h"

#include <commctrl.h>

namespace {

const int kMarqueeMs = 50;
// The marquee bar below the text, in pixels at every scale.
const int kBarX = 10, kBarY = 36, kBarWidth = 316, kBarHeight = 20;

// The window's own state: the window its refresh disabled.
struct ProgressState {
    HWND owner;
};

void AddMarquee(HWND window)
{
    HWND bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE | PBS_SMOOTH | PBS_MARQUEE, kBarX, kBarY,
                               kBarWidth, kBarHeight, window, NULL, (HINSTANCE)GetWindowLongPtrA(window, GWLP_HINSTANCE),
                               NULL);
    if (bar)
        SendMessageA(bar, PBM_SETMARQUEE, TRUE, kMarqueeMs);
}

void InitProgress(HWND window, ProgressState &progress)
{
    CentreWindow(window, progress.owner);
    AddMarquee(window);
}

// Closes the window and gives its owner back; the owner stays disabled no
// longer than its window does.
void Finish(HWND window, const ProgressState &progress)
{
    HWND owner = progress.owner;
    ShowWindow(window, SW_HIDE);
    if (owner && IsWindow(owner))
        EnableWindow(owner, TRUE);
    DestroyWindow(window);
}

// Only the Cancel button closes it; Escape and Enter would close it too
// easily, and are taken here without effect.
void OnProgressCommand(HWND window, ProgressState &progress, int id)
{
    if (id == IDC_PROGRESS_CANCEL)
        Finish(window, progress);
}

bool OnProgressMessage(HWND window, ProgressState &progress, UINT message, WPARAM, LPARAM)
{
    if (message != kMsgCloseProgress)
        return false;
    Finish(window, progress);
    return true;
}

const PageKind<ProgressState> kProgressWindow = {
    .init = InitProgress, .command = OnProgressCommand, .other = OnProgressMessage};

} // namespace

HWND CreateProgressWindow(HWND parent)
{
    HINSTANCE instance = (HINSTANCE)GetWindowLongPtrA(parent, GWLP_HINSTANCE);
    HWND window = CreatePage(instance, IDD_PROGRESS, parent, kProgressWindow, new ProgressState{parent});
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

void CloseProgressWindow(HWND progress, HWND parent)
{
    // Called on the window thread when the refresh's result arrives. After
    // Cancel the window is gone and only the front changes; its state tells
    // it from a window that has reused the handle.
    const ProgressState *state = PageState(progress, kProgressWindow);
    if (state && state->owner == parent)
        SendMessageA(progress, kMsgCloseProgress, 0, 0);
    HWND front = parent ? GetAncestor(parent, GA_ROOT) : NULL;
    if (front)
        SetForegroundWindow(front);
}
