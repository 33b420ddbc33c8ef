// Work off the window thread: one way to start a worker, and one way for a
// worker to hand its result to a window, whose thread alone applies it.
#pragma once

#include "scoped.h"

#include <windows.h>

// Runs work(parameter) on a thread of its own and returns the thread, for
// the few callers that wait for it; most let it go at once. When no thread
// can be started the log says so, `failure` followed by the Windows error,
// and the result is empty: the caller then gives up what it started (and
// frees parameter); it never does the work on its own thread instead.
ScopedHandle StartWorker(LPTHREAD_START_ROUTINE work, void *parameter, const char *failure);

// Posts a result made with new to window as message's lParam (wParam 0):
// the window's thread takes it over and deletes it. When the post fails
// (the window is gone) nobody else will, so it is deleted here; false then.
template <class Result> bool PostResult(HWND window, UINT message, Result *result)
{
    if (PostMessageA(window, message, 0, (LPARAM)result))
        return true;
    delete result;
    return false;
}
