// The configuration pipe listener: its own thread for the life of the
// program. The updater and TalLib write one short message per connection
// when the log or the status changed; the listener turns it into a window
// message, and about every two seconds it tells the window whether the
// updater runs. It only posts: the window thread alone touches the state.
#include "config_app.h"

#include "scoped.h"
#include "signals.h"
#include "tallib.h"

#include <sddl.h>

namespace {

// Several instances wait at once, so that a writer arriving while one is
// being served still finds a free one instead of being refused.
const int kInstances = 4;
const DWORD kPollMs = 2000;
const DWORD kRetryMs = 250;  // after a failed creation: never spin
const DWORD kReadMs = 1000;  // a client that connects and says nothing

// The utility runs elevated; the updater and TalLib in other processes may
// not. SYSTEM and Administrators may do anything, signed-in users may
// write. Remote clients are refused by the pipe mode.
const char kPipeSecurity[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GRGW;;;AU)";

struct Instance {
    ScopedFile pipe;
    ScopedHandle event;
    OVERLAPPED overlapped = {};
    bool waiting = false; // a connect is pending on `event`
};

struct Listener {
    HWND window = NULL;
    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), NULL, FALSE};
    Instance instances[kInstances];
    DWORD lastPoll = 0;
};

HANDLE CreateInstance(Listener &listener)
{
    return CreateNamedPipeA(kConfigPipeName, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            kInstances, kPipeBufferSize, kPipeBufferSize, kPipeDefaultTimeoutMs,
                            listener.security.lpSecurityDescriptor ? &listener.security : NULL);
}

// Starts waiting for a client on the instance, creating its pipe when it
// has none. False when the instance cannot wait now.
bool StartWaiting(Listener &listener, Instance &instance)
{
    if (!instance.event)
        instance.event.reset(CreateEventA(NULL, TRUE, FALSE, NULL));
    if (!instance.pipe)
        instance.pipe.reset(CreateInstance(listener));
    if (!instance.event || !instance.pipe)
        return false;
    ResetEvent(instance.event.get());
    instance.overlapped = OVERLAPPED();
    instance.overlapped.hEvent = instance.event.get();
    if (ConnectNamedPipe(instance.pipe.get(), &instance.overlapped)) {
        SetEvent(instance.event.get());
    } else {
        DWORD error = GetLastError();
        if (error == ERROR_PIPE_CONNECTED) {
            SetEvent(instance.event.get()); // the client came first
        } else if (error != ERROR_IO_PENDING) {
            instance.pipe.reset(); // made again on the next round
            return false;
        }
    }
    instance.waiting = true;
    return true;
}

// The one message of a connected client: its first byte, or 0 when the
// read failed, was empty or did not come in time.
char ReadFirstByte(Instance &instance)
{
    char message[kPipeBufferSize];
    DWORD read = 0;
    ResetEvent(instance.event.get());
    OVERLAPPED overlapped = {};
    overlapped.hEvent = instance.event.get();
    BOOL ok = ReadFile(instance.pipe.get(), message, sizeof message, &read, &overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(instance.event.get(), kReadMs) == WAIT_OBJECT_0) {
            ok = GetOverlappedResult(instance.pipe.get(), &overlapped, &read, FALSE);
        } else {
            CancelIo(instance.pipe.get());
            GetOverlappedResult(instance.pipe.get(), &overlapped, &read, TRUE);
            ok = FALSE;
        }
    } else if (ok) {
        ok = GetOverlappedResult(instance.pipe.get(), &overlapped, &read, FALSE);
    }
    return ok && read > 0 ? message[0] : 0;
}

void PostForMessage(HWND window, char first)
{
    if (first == kConfigMsgLogChanged[0] || first == kConfigMsgPassDone[0])
        PostMessageA(window, WM_USER, kCmdRefreshLog, 0);
    if (first == kConfigMsgStatusChanged[0] || first == kConfigMsgPassDone[0])
        PostMessageA(window, WM_USER, kCmdRefreshStatus, 0);
}

void Serve(Listener &listener, Instance &instance)
{
    instance.waiting = false;
    DWORD ignored = 0;
    // Completes the connect; a client that has gone already reads nothing.
    GetOverlappedResult(instance.pipe.get(), &instance.overlapped, &ignored, FALSE);
    PostForMessage(listener.window, ReadFirstByte(instance));
    // Nothing was written to the client, so there is nothing to flush; the
    // instance waits for the next client after this.
    if (!DisconnectNamedPipe(instance.pipe.get()))
        instance.pipe.reset();
}

void PollUpdater(Listener &listener)
{
    listener.lastPoll = GetTickCount();
    PostMessageA(listener.window, kMsgUpdaterActivity, GetActive() == 1 ? 1 : 0, 0);
}

void InitSecurity(Listener &listener)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    // Kept for the life of the thread, which is the life of the program.
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kPipeSecurity, SDDL_REVISION_1, &descriptor, NULL))
        listener.security.lpSecurityDescriptor = descriptor;
}

DWORD WINAPI ListenerThread(void *parameter)
{
    static Listener listener;
    listener.window = (HWND)parameter;
    InitSecurity(listener);
    listener.lastPoll = GetTickCount();
    for (;;) {
        HANDLE events[kInstances];
        int owners[kInstances];
        DWORD count = 0;
        for (int i = 0; i < kInstances; ++i) {
            Instance &instance = listener.instances[i];
            if (instance.waiting || StartWaiting(listener, instance)) {
                events[count] = instance.event.get();
                owners[count++] = i;
            }
        }
        DWORD elapsed = GetTickCount() - listener.lastPoll;
        DWORD untilPoll = elapsed >= kPollMs ? 0 : kPollMs - elapsed;
        if (count == 0) {
            Sleep(untilPoll < kRetryMs ? untilPoll : kRetryMs);
        } else {
            DWORD result = WaitForMultipleObjects(count, events, FALSE, untilPoll);
            if (result < WAIT_OBJECT_0 + count)
                Serve(listener, listener.instances[owners[result - WAIT_OBJECT_0]]);
            else if (result == WAIT_FAILED)
                Sleep(kRetryMs);
        }
        // Polled on time even while messages keep arriving.
        if (GetTickCount() - listener.lastPoll >= kPollMs)
            PollUpdater(listener);
    }
}

} // namespace

bool StartConfigPipeListener()
{
    // Never stopped: the thread ends with the process.
    ScopedHandle thread(CreateThread(NULL, 0, ListenerThread, g_app.window, 0, NULL));
    return (bool)thread;
}
