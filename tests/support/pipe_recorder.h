// A reader of one of the suite's named pipes, as the notification icon or
// the configuration utility would create it, collecting every message.
#pragma once

#include <windows.h>

#include "scoped.h"

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
    static constexpr int kInstances = 4;
    static constexpr DWORD kRetryMs = 250; // when no instance could be made

    // One pipe instance, listening or connected to one writer.
    struct Instance {
        ScopedFile pipe;
        ScopedHandle event;
        OVERLAPPED overlapped = {};
        unsigned long created = 0; // order of creation among the instances
    };

    void Run();
    void Listen(Instance &instance);
    void Take(Instance &instance);

    std::string name_;
    std::mutex lock_;
    std::vector<std::string> messages_;
    ScopedHandle stop_;
    unsigned long created_ = 0; // the reading thread's alone
    std::thread thread_;
};
