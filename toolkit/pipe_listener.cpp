// The pipe listener of the window programs: overlapped instances waited on
// together by one thread, one bounded read per connection, every message
// posted to the program's window.
#include "pipe_listener.h"

#include "error_text.h"
#include "scoped.h"
#include "session_pipe.h"
#include "shared_objects.h"
#include "signals.h"
#include "tallib.h"
#include "worker.h"

#include <sddl.h>

#include <new>
#include <string>

namespace {

// Several instances wait at once, so that a writer arriving while one is
// being served still finds a free one instead of being refused.
const int kInstances = 4;
const DWORD kRetryMs = 250;        // after a failed creation or wait: never spin
const DWORD kNameTakenRetryMs = 5000; // while another program holds the name

struct Instance {
    ScopedFile pipe;
    ScopedHandle event;
    OVERLAPPED overlapped = {};
    bool waiting = false; // a connect is pending on `event`
};

struct Listener {
    PipeListenerSettings settings = {}; // its pipeName is `sessionPipe`
    char sessionPipe[kSessionPipeNameSize] = "";
    SECURITY_ATTRIBUTES security = {sizeof(SECURITY_ATTRIBUTES), NULL, FALSE};
    Instance instances[kInstances];
    DWORD lastIdle = 0;
    DWORD nameTakenSince = 0;
    bool nameTaken = false;   // no instance of ours can be made just now
    bool nameTakenLogged = false;
};

int OpenInstances(const Listener &listener)
{
    int open = 0;
    for (const Instance &instance : listener.instances)
        open += instance.pipe ? 1 : 0;
    return open;
}

void NoteNameTaken(Listener &listener)
{
    listener.nameTaken = true;
    listener.nameTakenSince = GetTickCount();
    if (listener.nameTakenLogged)
        return;
    listener.nameTakenLogged = true;
    // Pieced together without the C runtime's formatting, which would more
    // than double the size of a small program such as the icon.
    const char *parts[] = {listener.settings.owner, ": the pipe ", listener.settings.pipeName,
                           " is held by another program; messages from the updater cannot reach this program "
                           "until it is free."};
    char message[320] = "";
    for (const char *part : parts) {
        int used = lstrlenA(message);
        lstrcpynA(message + used, part, (int)sizeof message - used);
    }
    LogToFile(message, LOG_NEW_RECORD, LOG_WARNING);
}

// Whether any instance of the pipe exists, free or busy.
bool NameExists(const char *pipeName)
{
    return WaitNamedPipeA(pipeName, 1) || GetLastError() != ERROR_FILE_NOT_FOUND;
}

// A new instance of the pipe. The first of ours must be the first of the
// name: one created by somebody else before us means the name is taken.
// The system refuses it for us (FILE_FLAG_FIRST_PIPE_INSTANCE); Wine
// ignores that flag, so the name is looked for first as well.
HANDLE CreateInstance(Listener &listener)
{
    DWORD openMode = PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED;
    if (OpenInstances(listener) == 0) {
        if (NameExists(listener.settings.pipeName)) {
            NoteNameTaken(listener);
            return INVALID_HANDLE_VALUE;
        }
        openMode |= FILE_FLAG_FIRST_PIPE_INSTANCE;
    }
    HANDLE pipe = CreateNamedPipeA(listener.settings.pipeName, openMode,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                   PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize, kPipeDefaultTimeoutMs,
                                   &listener.security);
    if (pipe != INVALID_HANDLE_VALUE) {
        listener.nameTaken = false;
    } else if ((openMode & FILE_FLAG_FIRST_PIPE_INSTANCE) &&
               (GetLastError() == ERROR_ACCESS_DENIED || GetLastError() == ERROR_PIPE_BUSY)) {
        NoteNameTaken(listener);
    }
    return pipe;
}

// Starts waiting for a client on the instance, creating its pipe when it
// has none. False when the instance cannot wait now.
bool StartWaiting(Listener &listener, Instance &instance)
{
    if (listener.nameTaken && GetTickCount() - listener.nameTakenSince < kNameTakenRetryMs)
        return false;
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

// Reads the one message of a connected client into `message`; its length,
// 0 when the read failed, was empty or did not come in time.
DWORD ReadMessage(Instance &instance, char (&message)[kPipeBufferSize])
{
    DWORD read = 0;
    ResetEvent(instance.event.get());
    OVERLAPPED overlapped = {};
    overlapped.hEvent = instance.event.get();
    BOOL ok = ReadFile(instance.pipe.get(), message, kPipeMaxMessage, NULL, &overlapped);
    if (ok || GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(instance.event.get(), kPipeReadLimitMs) != WAIT_OBJECT_0)
            CancelIoEx(instance.pipe.get(), &overlapped);
        // Waits only for the cancelled read to be let go.
        ok = GetOverlappedResult(instance.pipe.get(), &overlapped, &read, TRUE);
    }
    // A message longer than the buffer is refused, never cut.
    return ok ? read : 0;
}

void Serve(Listener &listener, Instance &instance)
{
    instance.waiting = false;
    DWORD ignored = 0;
    // Completes the connect; a client that has gone already reads nothing.
    GetOverlappedResult(instance.pipe.get(), &instance.overlapped, &ignored, FALSE);
    char message[kPipeBufferSize];
    DWORD length = ReadMessage(instance, message);
    if (length > 0) {
        message[length] = '\0';
        listener.settings.post(listener.settings.window, message);
    }
    // Nothing was written to the client, so there is nothing to flush; the
    // instance waits for the next client after this.
    if (!DisconnectNamedPipe(instance.pipe.get()))
        instance.pipe.reset();
}

void RunIdle(Listener &listener)
{
    listener.lastIdle = GetTickCount();
    if (listener.settings.idle)
        listener.settings.idle(listener.settings.window);
}

// The time until the next idle call, or the retry pause without one.
DWORD UntilIdle(const Listener &listener)
{
    if (!listener.settings.idle)
        return INFINITE;
    DWORD elapsed = GetTickCount() - listener.lastIdle;
    return elapsed >= listener.settings.idleMs ? 0 : listener.settings.idleMs - elapsed;
}

DWORD WINAPI ListenerThread(void *parameter)
{
    Listener &listener = *(Listener *)parameter; // lives as long as the process
    listener.lastIdle = GetTickCount();
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
        DWORD untilIdle = UntilIdle(listener);
        if (count == 0) {
            Sleep(untilIdle < kRetryMs ? untilIdle : kRetryMs);
        } else {
            DWORD result = WaitForMultipleObjects(count, events, FALSE, untilIdle);
            if (result < WAIT_OBJECT_0 + count)
                Serve(listener, listener.instances[owners[result - WAIT_OBJECT_0]]);
            else if (result == WAIT_FAILED)
                Sleep(kRetryMs);
        }
        // On time even while messages keep arriving.
        if (listener.settings.idle && GetTickCount() - listener.lastIdle >= listener.settings.idleMs)
            RunIdle(listener);
    }
}

// What the record of a listener that could not start says, before why.
std::string NoListener(const PipeListenerSettings &settings)
{
    return std::string(settings.owner) + ": the pipe " + settings.pipeName +
           " cannot be listened to; messages from the updater cannot reach this program.";
}

void LogNoListener(const PipeListenerSettings &settings, DWORD error)
{
    LogToFile((NoListener(settings) + " Windows " + DescribeError(error) + ".").c_str(), LOG_NEW_RECORD, LOG_WARNING);
}

} // namespace

bool StartPipeListener(const PipeListenerSettings &settings)
{
    // From the process heap, placed by hand: the runtime's allocating new
    // would bring its exception support into every program for this one
    // object, which lives as long as the process.
    void *memory = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(Listener));
    if (!memory) {
        LogNoListener(settings, ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    Listener *listener = new (memory) Listener;
    listener->settings = settings;
    // This session's own pipe: a reader in another user's session serves
    // that session's (session_pipe.h).
    if (!SessionPipeName(settings.pipeName, OwnSession(), listener->sessionPipe, sizeof listener->sessionPipe)) {
        LogNoListener(settings, ERROR_BAD_PATHNAME);
        listener->~Listener();
        HeapFree(GetProcessHeap(), 0, memory);
        return false;
    }
    listener->settings.pipeName = listener->sessionPipe;
    // Kept for the life of the thread, which is the life of the program.
    // Without it the pipe is never made: default rights would shut out the
    // writers of other accounts, the service among them.
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kPipeSecurity, SDDL_REVISION_1, descriptor.out(), NULL)) {
        LogNoListener(settings, GetLastError());
        listener->~Listener();
        HeapFree(GetProcessHeap(), 0, memory);
        return false;
    }
    listener->security.lpSecurityDescriptor = descriptor.get();
    // Never stopped: the thread ends with the process.
    ScopedHandle thread = StartWorker(ListenerThread, listener, NoListener(settings).c_str());
    if (thread) {
        descriptor.release(); // the thread's now
    } else {
        listener->~Listener();
        HeapFree(GetProcessHeap(), 0, memory);
    }
    return (bool)thread;
}
