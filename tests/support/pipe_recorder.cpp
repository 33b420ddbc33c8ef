// Collects the messages written to one named pipe.
#include "pipe_recorder.h"

#include "signals.h"

PipeListener::PipeListener(const char *pipeName) : name_(pipeName)
{
    thread_ = std::thread([this] { Run(); });
    // Ready once the first instance can be opened by a writer.
    for (int i = 0; i < 200 && !WaitNamedPipeA(name_.c_str(), 1) && GetLastError() == ERROR_FILE_NOT_FOUND; ++i)
        Sleep(10);
}

PipeListener::~PipeListener()
{
    stop_ = true;
    // Wake the blocked connect with a connection of our own.
    HANDLE wake = CreateFileA(name_.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    if (wake != INVALID_HANDLE_VALUE)
        CloseHandle(wake);
    thread_.join();
}

HANDLE PipeListener::CreateInstance()
{
    return CreateNamedPipeA(name_.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                            PIPE_UNLIMITED_INSTANCES, kPipeBufferSize, kPipeBufferSize,
                            kPipeDefaultTimeoutMs, NULL);
}

void PipeListener::Run()
{
    // The next instance is created before the current one is read, so a
    // writer that follows quickly still finds a listener.
    HANDLE next = CreateInstance();
    while (next != INVALID_HANDLE_VALUE) {
        BOOL connected = ConnectNamedPipe(next, NULL) || GetLastError() == ERROR_PIPE_CONNECTED;
        HANDLE current = next;
        next = stop_ ? INVALID_HANDLE_VALUE : CreateInstance();
        char buffer[kPipeBufferSize];
        DWORD read = 0;
        if (connected && !stop_ && ReadFile(current, buffer, sizeof buffer - 1, &read, NULL) && read > 0) {
            std::lock_guard<std::mutex> guard(lock_);
            messages_.emplace_back(buffer, read);
        }
        DisconnectNamedPipe(current);
        CloseHandle(current);
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
