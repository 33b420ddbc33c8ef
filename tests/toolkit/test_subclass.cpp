// A behaviour attached to a control sees its messages, can be found again,
// and its state is freed exactly once: when replaced, or with the window.
#include "subclass.h"

#include <commctrl.h>
#include <gtest/gtest.h>

namespace {

struct Counter {
    int seen = 0;
    int *freed;
};

LRESULT CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void *state)
{
    if (message == WM_USER + 7)
        ++((Counter *)state)->seen;
    return DefSubclassProc(window, message, wParam, lParam);
}

void FreeCounter(void *state)
{
    Counter *counter = (Counter *)state;
    ++*counter->freed;
    delete counter;
}

TEST(ControlBehaviour, SeesMessagesAndIsFreedOnceWhenReplacedOrDestroyed)
{
    // Message-only: the test runs without a display.
    HWND control = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    ASSERT_TRUE(control);
    int firstFreed = 0, secondFreed = 0;
    Counter *first = new Counter{0, &firstFreed};
    ASSERT_TRUE(AttachBehaviour(control, 1, CountingProc, first, FreeCounter));
    SendMessageA(control, WM_USER + 7, 0, 0);
    EXPECT_EQ(1, first->seen);
    EXPECT_EQ(first, BehaviourState(control, 1));
    EXPECT_EQ(nullptr, BehaviourState(control, 2)) << "another id has nothing";

    Counter *second = new Counter{0, &secondFreed};
    ASSERT_TRUE(AttachBehaviour(control, 1, CountingProc, second, FreeCounter));
    EXPECT_EQ(1, firstFreed) << "the replaced state is freed";
    EXPECT_EQ(second, BehaviourState(control, 1));

    DestroyWindow(control);
    EXPECT_EQ(1, firstFreed);
    EXPECT_EQ(1, secondFreed) << "the window's end frees the state";

    int refused = 0;
    EXPECT_FALSE(AttachBehaviour(NULL, 1, CountingProc, new Counter{0, &refused}, FreeCounter));
    EXPECT_EQ(1, refused) << "state that cannot be attached is freed at once";
}

} // namespace
