// The registrations for network changes (network_watch.h).
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <netioapi.h>

#include "network_watch.h"

#include "error_text.h"
#include "scoped.h"
#include "tallib.h"

#include <string>

namespace {

struct NotifyTraits {
    using Type = HANDLE;
    static HANDLE Invalid() { return NULL; }
    // Waits for a callback in progress: none runs once this returns.
    static void Close(HANDLE h) { CancelMibChangeNotify2(h); }
};
using ScopedNotify = Scoped<NotifyTraits>;

// NotifyNetworkConnectivityHintChange exists from Windows 10 (2004) on and
// is missing from older headers and from Wine: declared here, loaded by name.
struct ConnectivityHint {
    int level;
    int cost;
    BOOLEAN approachingDataLimit, overDataLimit, roaming;
};
typedef VOID(WINAPI *ConnectivityHintCallback)(PVOID context, ConnectivityHint hint);
typedef DWORD(WINAPI *NotifyConnectivityHint)(ConnectivityHintCallback callback, PVOID context, BOOLEAN initial,
                                              PHANDLE handle);

void Signal(const NetworkWatch *watch) { watch->signal(watch->context); }

VOID WINAPI OnInterfaceChange(PVOID context, PMIB_IPINTERFACE_ROW, MIB_NOTIFICATION_TYPE)
{
    Signal((const NetworkWatch *)context);
}

VOID WINAPI OnAddressChange(PVOID context, PMIB_UNICASTIPADDRESS_ROW, MIB_NOTIFICATION_TYPE)
{
    Signal((const NetworkWatch *)context);
}

VOID WINAPI OnConnectivityHint(PVOID context, ConnectivityHint) { Signal((const NetworkWatch *)context); }

// Appends the registration's failure to `failed`; a call that answers
// without a handle will never call back.
void NoteRegistrationFailure(const char *name, DWORD result, const ScopedNotify &handle, std::string &failed)
{
    if (result == NO_ERROR && handle)
        return;
    failed += failed.empty() ? "" : ", ";
    failed += name;
    if (result == NO_ERROR)
        failed += " gave no handle";
    else if (result == ERROR_PROC_NOT_FOUND)
        failed += " is not on this system";
    else
        failed += " failed with Windows " + DescribeError(result);
}

} // namespace

struct NetworkWatchHandles {
    ScopedNotify interfaces, addresses, connectivity;
};

NetworkWatch::NetworkWatch() = default;
NetworkWatch::~NetworkWatch() = default;

bool StartNetworkWatch(NetworkWatch &watch, void (*signal)(void *context), void *context)
{
    watch.signal = signal;
    watch.context = context;
    watch.handles = std::make_unique<NetworkWatchHandles>();
    NetworkWatchHandles *handles = watch.handles.get();
    std::string failed;
    NoteRegistrationFailure(
        "NotifyIpInterfaceChange",
        NotifyIpInterfaceChange(AF_UNSPEC, OnInterfaceChange, &watch, FALSE, handles->interfaces.out()),
        handles->interfaces, failed);
    NoteRegistrationFailure(
        "NotifyUnicastIpAddressChange",
        NotifyUnicastIpAddressChange(AF_UNSPEC, OnAddressChange, &watch, FALSE, handles->addresses.out()),
        handles->addresses, failed);
    auto notifyHint = (NotifyConnectivityHint)(void *)GetProcAddress(GetModuleHandleA("iphlpapi.dll"),
                                                                      "NotifyNetworkConnectivityHintChange");
    DWORD hintResult = notifyHint ? notifyHint(OnConnectivityHint, &watch, FALSE, handles->connectivity.out())
                                  : ERROR_PROC_NOT_FOUND;
    NoteRegistrationFailure("NotifyNetworkConnectivityHintChange", hintResult, handles->connectivity, failed);
    bool any = handles->interfaces || handles->addresses || handles->connectivity;
    if (!any)
        LogToFile(("Updater: Network changes cannot be watched (" + failed + "); the timer alone starts passes.")
                      .c_str(),
                  1, 0);
    return any;
}

void StopNetworkWatch(NetworkWatch &watch) { watch.handles.reset(); }
