// The worker helpers: the work runs on a thread of its own, and a worker's
// result reaches its window or is freed when the window is gone.
#include "worker.h"

#include <gtest/gtest.h>

namespace {

const UINT kMsgResult = WM_APP + 5;

// Message-only: these tests run without a display.
HWND Window() { return CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL); }

struct Result {
    int *deleted;
    ~Result() { ++*deleted; }
};

DWORD WINAPI Work(void *parameter)
{
    *(DWORD *)parameter = GetCurrentThreadId();
    return 0;
}

TEST(Worker, RunsTheWorkOnAThreadOfItsOwn)
{
    DWORD ran = 0;
    ScopedHandle thread = StartWorker(Work, &ran, "not logged: the thread starts");
    ASSERT_TRUE((bool)thread);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.get(), 10000));
    EXPECT_NE(0u, ran);
    EXPECT_NE(GetCurrentThreadId(), ran);
}

TEST(Worker, AResultReachesItsWindowOrIsFreedWhenTheWindowIsGone)
{
    int deleted = 0;
    HWND window = Window();
    ASSERT_NE((HWND)NULL, window);
    Result *result = new Result{&deleted};
    EXPECT_TRUE(PostResult(window, kMsgResult, result));
    MSG msg = {};
    ASSERT_TRUE(PeekMessageA(&msg, window, kMsgResult, kMsgResult, PM_REMOVE));
    EXPECT_EQ((LPARAM)result, msg.lParam);
    EXPECT_EQ(0, deleted) << "the window's thread frees it";
    delete (Result *)msg.lParam;

    DestroyWindow(window);
    EXPECT_FALSE(PostResult(window, kMsgResult, new Result{&deleted}));
    EXPECT_EQ(2, deleted);
}

} // namespace
