// Both updaters hear of network changes: an interface or a unicast address
// that comes or goes, and connectivity that comes back. The system's
// notification threads only call `signal`; the pass itself runs on the
// host's own thread (network_change.h decides when).
#pragma once

#include <windows.h>

#include <memory>

struct NetworkWatchHandles;

// Lives as long as its registrations: the callbacks are handed its address.
struct NetworkWatch {
    void (*signal)(void *context) = nullptr;
    void *context = nullptr;
    std::unique_ptr<NetworkWatchHandles> handles;
    NetworkWatch();
    ~NetworkWatch(); // cancels what StopNetworkWatch did not
    NetworkWatch(const NetworkWatch &) = delete;
    NetworkWatch &operator=(const NetworkWatch &) = delete;
};

// Registers for the changes. When nothing could be registered, or the
// system gave no handle (Wine does so), the timer stays the only trigger
// and one log record says so; false then. A system without one of the
// three (connectivity hints came with Windows 10) watches the others.
bool StartNetworkWatch(NetworkWatch &watch, void (*signal)(void *context), void *context);
// Cancels the registrations; no callback runs once this returns.
void StopNetworkWatch(NetworkWatch &watch);
