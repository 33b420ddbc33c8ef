// Recording message-only windows for the signal tests.
#include "test_windows.h"

ReceivedCommand TestWindow::received;

static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_USER || message == WM_QUIT) {
        ReceivedCommand &r = TestWindow::received;
        ++r.count;
        r.message = message;
        r.code = wParam;
        r.lParam = lParam;
        return message == WM_QUIT ? kQuitAnswer : AnswerFor(wParam);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

TestWindow::TestWindow(const char *windowClass, const char *title)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = windowClass;
    RegisterClassA(&wc); // fails harmlessly when a previous test registered it
    // HWND_MESSAGE: hidden message-only windows, as TalUpPs and TalTray make.
    window_ = CreateWindowExA(0, windowClass, title, 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    received = ReceivedCommand();
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
}
