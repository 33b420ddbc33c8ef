// The tray pipe: what each message means to the icon. The shared listener
// reads it on its own thread; this only posts, so the icon record and the
// settings are touched by the window thread alone.
#include "tray_pipe.h"

#include "tray_messages.h"
#include "pipe_listener.h"
#include "signals.h"
#include "update_results.h"

#include <limits.h>
#include <stdlib.h>

namespace {

void PostTrayMessage(HWND window, const char *text)
{
    if (text[0] == kTrayMsgAddress)
        PostMessageA(window, kMsgPipeMessage, kPipeAddressMessage, 0);
    else
        PostMessageA(window, kMsgPipeMessage, kPipeResultMessage, (LPARAM)ResultCode(text));
}

} // namespace

int ResultCode(const char *text)
{
    char *end = NULL;
    long code = strtol(text, &end, 10);
    if (end == text)
        return kResultNoExchange;
    if (code > INT_MAX)
        return INT_MAX;
    if (code < INT_MIN)
        return INT_MIN;
    return (int)code;
}

bool StartTrayPipeListener(HWND window)
{
    PipeListenerSettings settings = {};
    settings.pipeName = kTrayPipeName;
    settings.owner = "Tray Icon";
    settings.window = window;
    settings.post = PostTrayMessage;
    return StartPipeListener(settings);
}
