// A reader of one of the suite's named pipes, as the notification icon or
// the configuration utility would create it, collecting every message.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PipeListener {
public:
    explicit PipeListener(const char *pipeName);
    ~PipeListener();
    PipeListener(const PipeListener &) = delete;
    PipeListener &operator=(const PipeListener &) = delete;

    std::vector<std::string> Messages();
    // Waits (at most timeoutMs) until `count` messages have arrived.
    bool WaitFor(size_t count, DWORD timeoutMs = 10000);

private:
    void Run();
    HANDLE CreateInstance();

    std::string name_;
    std::mutex lock_;
    std::vector<std::string> messages_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
