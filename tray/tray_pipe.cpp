// The tray pipe listener: its own thread, for the life of the program. It
// reads one message per connection and hands it to the window thread,
// which alone touches the icon record and the settings.
#include "tray.h"
#include "scoped.h"
#include "signals.h"

#include <limits.h>
#include <stdlib.h>

namespace {

// One instance, inbound, message mode, blocking. Remote clients are
// refused: only programs on this machine may push messages into the icon.
HANDLE CreateTrayPipe()
{
    return CreateNamedPipeA(kTrayPipeName, PIPE_ACCESS_INBOUND,
                            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, kPipeDefaultTimeoutMs,
                            NULL);
}

// Reads the one message of a connected client and hands it on. A failed
// read (nothing, or more than the buffer holds) is dropped.
void ServeClient(HANDLE pipe, HWND window)
{
    char message[kPipeBufferSize];
    DWORD read = 0;
    if (ReadFile(pipe, message, kPipeMaxMessage, &read, NULL) && read > 0) {
        message[read] = '\0';
        if (message[0] == kTrayMsgAddress)
            PostMessageA(window, kMsgPipeMessage, 0, 0);
        else
            PostMessageA(window, kMsgPipeMessage, 1, (LPARAM)ResultCode(message));
    }
    FlushFileBuffers(pipe);
    DisconnectNamedPipe(pipe);
}

DWORD WINAPI ListenerThread(void *parameter)
{
    HWND window = (HWND)parameter;
    bool lastWaitFailed = false;
    for (;;) {
        ScopedFile pipe(CreateTrayPipe());
        if (!pipe)
            return 0; // the icon goes on with what it shows
        for (;;) {
            BOOL connected = ConnectNamedPipe(pipe.get(), NULL) || GetLastError() == ERROR_PIPE_CONNECTED;
            if (!connected)
                break; // never wait again on this instance: make a new one
            lastWaitFailed = false;
            ServeClient(pipe.get(), window);
        }
        // Two failed waits in a row: pause, so that a pipe that keeps
        // failing can never spin the processor.
        if (lastWaitFailed)
            Sleep(500);
        lastWaitFailed = true;
    }
}

} // namespace

int ResultCode(const char *text)
{
    long code = strtol(text, NULL, 10);
    if (code > INT_MAX)
        return INT_MAX;
    if (code < INT_MIN)
        return INT_MIN;
    return (int)code;
}

bool StartPipeListener(HWND window)
{
    // Never stopped: the thread ends with the process.
    ScopedHandle thread(CreateThread(NULL, 0, ListenerThread, window, 0, NULL));
    return (bool)thread;
}
