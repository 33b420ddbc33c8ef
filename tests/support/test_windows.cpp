// The recording message-only windows of the tests.
#include "test_windows.h"

#include "signals.h"

ReceivedCommand TestWindow::received;
std::vector<ReceivedMessage> TestWindow::messages;

static LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    bool command = message == WM_USER || message == WM_QUIT;
    if (!command && !(message >= WM_APP && message <= 0xBFFF))
        return DefWindowProcA(window, message, wParam, lParam);
    ReceivedMessage record = {window, message, wParam, lParam, std::string()};
    if (message == kMsgHostListHost && lParam)
        record.text = (const char *)lParam; // valid only during the send
    TestWindow::messages.push_back(record);
    if (!command)
        return 0;
    ReceivedCommand &r = TestWindow::received;
    ++r.count;
    r.message = message;
    r.code = wParam;
    r.lParam = lParam;
    return message == WM_QUIT ? kQuitAnswer : AnswerFor(wParam);
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
    Clear();
}

TestWindow::~TestWindow()
{
    if (window_)
        DestroyWindow(window_);
}

void TestWindow::Clear()
{
    received = ReceivedCommand();
    messages.clear();
}

void Pump(DWORD ms)
{
    DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
    } while ((LONG)(end - GetTickCount()) > 0);
}
