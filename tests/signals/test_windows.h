// Message-only windows of the suite's classes, made by a test, whose window
// procedure records the last command it got and answers a known value.
#pragma once

#include <windows.h>

struct ReceivedCommand {
    int count = 0;
    UINT message = 0;
    WPARAM code = 0;
    LPARAM lParam = 0;
};

// What every test window answers to WM_USER with wParam code.
inline LRESULT AnswerFor(WPARAM code) { return 5000 + (LRESULT)code; }
const LRESULT kQuitAnswer = 4242; // the answer to WM_QUIT

class TestWindow {
public:
    TestWindow(const char *windowClass, const char *title);
    ~TestWindow();
    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    HWND handle() const { return window_; }
    // Commands received by any test window since the last Reset.
    static ReceivedCommand received;

private:
    HWND window_ = NULL;
};
