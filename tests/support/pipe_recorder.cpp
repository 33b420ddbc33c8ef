// Collects the messages written to one named pipe.
#include "pipe_recorder.h"

#include "signals.h"

#include <algorithm>

PipeListener::PipeListener(const char *pipeName) : name_(pipeName)
{
    stop_.reset(CreateEventA(NULL, TRUE, FALSE, NULL));
    thread_ = std::thread([this] { Run(); });
    // Ready once the first instance can be opened by a writer.
    for (int i = 0; i < 200 && !WaitNamedPipeA(name_.c_str(), 1) && GetLastError() == ERROR_FILE_NOT_FOUND; ++i)
        Sleep(10);
}

PipeListener::~PipeListener()
{
    SetEvent(stop_.get());
    thread_.join();
}

// Replaces the instance with a new one listening for a writer; left empty
// when none can be made.
void PipeListener::Listen(Instance &instance)
{
    instance = Instance();
    instance.pipe.reset(CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED,
                                         PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                         PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
                                         kPipeDefaultTimeoutMs, NULL));
    instance.event.reset(CreateEventA(NULL, TRUE, FALSE, NULL));
    if (!instance.pipe || !instance.event) {
        instance = Instance();
        return;
    }
    instance.created = ++created_;
    instance.overlapped.hEvent = instance.event.get();
    // Connected already (the writer came first) or connected at once: the
    // event is set by hand, as no completion will set it.
    if (ConnectNamedPipe(instance.pipe.get(), &instance.overlapped) || GetLastError() == ERROR_PIPE_CONNECTED)
        SetEvent(instance.event.get());
    else if (GetLastError() != ERROR_IO_PENDING)
        instance = Instance();
}

// Reads the connected writer's one message, waiting for it no longer than
// the programs' readers do.
void PipeListener::Take(Instance &instance)
{
    char buffer[kPipeBufferSize];
    DWORD read = 0;
    OVERLAPPED overlapped = {};
    overlapped.hEvent = instance.event.get();
    ResetEvent(instance.event.get());
    BOOL ok = ReadFile(instance.pipe.get(), buffer, sizeof buffer - 1, NULL, &overlapped);
    if (ok || GetLastError() == ERROR_IO_PENDING) {
        if (WaitForSingleObject(instance.event.get(), kPipeReadLimitMs) != WAIT_OBJECT_0)
            CancelIoEx(instance.pipe.get(), &overlapped);
        ok = GetOverlappedResult(instance.pipe.get(), &overlapped, &read, TRUE);
    }
    if (ok && read > 0) {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.emplace_back(buffer, read);
    }
    DisconnectNamedPipe(instance.pipe.get());
}

void PipeListener::Run()
{
    // Several instances listen at once, as the programs' own readers do, so
    // that a writer following quickly on another is never refused while the
    // first is being read. Each instance serves one writer and is replaced
    // by a new one; writers are given the oldest free instance, so serving
    // the connected ones oldest first keeps the messages in their order.
    Instance instances[kInstances];
    for (Instance &instance : instances)
        Listen(instance);
    for (;;) {
        HANDLE events[kInstances + 1] = {stop_.get()};
        DWORD count = 1;
        for (Instance &instance : instances) {
            if (instance.pipe)
                events[count++] = instance.event.get();
        }
        DWORD result = WaitForMultipleObjects(count, events, FALSE, count > 1 ? INFINITE : kRetryMs);
        // Without its stop event the recorder cannot wait at all: it ends.
        if (result == WAIT_OBJECT_0 || result == WAIT_FAILED)
            break;
        std::vector<Instance *> connected;
        for (Instance &instance : instances) {
            if (instance.pipe && WaitForSingleObject(instance.event.get(), 0) == WAIT_OBJECT_0)
                connected.push_back(&instance);
        }
        std::sort(connected.begin(), connected.end(),
                  [](const Instance *a, const Instance *b) { return a->created < b->created; });
        for (Instance *instance : connected) {
            Take(*instance);
            Listen(*instance);
        }
        for (Instance &instance : instances) {
            if (!instance.pipe)
                Listen(instance);
        }
    }
    // The pending connects are let go before their OVERLAPPEDs go.
    for (Instance &instance : instances) {
        DWORD ignored = 0;
        if (instance.pipe && CancelIoEx(instance.pipe.get(), &instance.overlapped))
            GetOverlappedResult(instance.pipe.get(), &instance.overlapped, &ignored, TRUE);
    }
}

std::vector<std::string> PipeListener::Messages()
{
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

bool PipeListener::WaitFor(size_t count, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (Messages().size() < count) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(20);
    }
    return true;
}
