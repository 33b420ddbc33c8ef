// The configuration pipe: what each message means to the utility. The
// updater and TalLib write one short message per connection when the log
// or the status changed; the shared listener reads it on its own thread
// and this turns it into window messages, and about every two seconds
// tells the window whether the updater runs. It only posts: the window
// thread alone touches the state.
#include "config_pipe.h"

#include "config_messages.h"

#include "pipe_listener.h"
#include "signals.h"
#include "tallib.h"

namespace {

const DWORD kPollMs = 2000;

// The first byte alone counts; "C" refreshes the log before the status.
void PostConfigMessage(HWND window, const char *text)
{
    char first = text[0];
    if (first == kConfigMsgLogChanged[0] || first == kConfigMsgPassDone[0])
        PostMessageA(window, WM_USER, kCmdRefreshLog, 0);
    if (first == kConfigMsgStatusChanged[0] || first == kConfigMsgPassDone[0])
        PostMessageA(window, WM_USER, kCmdRefreshStatus, 0);
}

void PollUpdater(HWND window) { PostMessageA(window, kMsgUpdaterActivity, GetActive() == 1 ? 1 : 0, 0); }

} // namespace

bool StartConfigPipeListener(HWND window)
{
    PipeListenerSettings settings = {};
    settings.pipeName = kConfigPipeName;
    settings.owner = "Configuration";
    settings.window = window;
    settings.post = PostConfigMessage;
    settings.idle = PollUpdater;
    settings.idleMs = kPollMs;
    return StartPipeListener(settings);
}
