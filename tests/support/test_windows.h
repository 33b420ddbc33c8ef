// Message-only windows of the suite's classes, made by a test, whose one
// window procedure records what other code sends them and answers a known
// value. Used by every test that plays the part of another program.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct ReceivedCommand {
    int count = 0;
    UINT message = 0;
    WPARAM code = 0;
    LPARAM lParam = 0;
};

// One message a test window received: WM_USER, WM_QUIT or an application
// message (WM_APP and up). `text` is the string lParam pointed to for the
// host-list host message, copied while it was valid.
struct ReceivedMessage {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    std::string text;
};

// What every test window answers to WM_USER with wParam code.
inline LRESULT AnswerFor(WPARAM code) { return 5000 + (LRESULT)code; }
const LRESULT kQuitAnswer = 4242; // the answer to WM_QUIT

// Pumps this thread's messages for `ms` milliseconds.
void Pump(DWORD ms);
// Pumps until `done` is true or the time is up; the last value of `done`.
template <typename F> bool PumpUntil(F done, DWORD timeoutMs = 20000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Pump(10);
    }
    return true;
}

class TestWindow {
public:
    TestWindow(const char *windowClass, const char *title);
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    HWND handle() const { return window_; }
    // The last WM_USER or WM_QUIT received by any test window, and how many.
    static ReceivedCommand received;
    // Every message recorded by any test window, in order of arrival.
    static std::vector<ReceivedMessage> messages;
    static void Clear();

private:
    HWND window_ = NULL;
};
