// GetHostList: the account's host names from the update server, handed to
// the caller's window one message at a time; also the credentials' test.
#include "tallib.h"
#include "config_keys.h"
#include "host_list_text.h"
#include "http_exchange.h"
#include "last_failure.h"
#include "internal.h"
#include "no_throw.h"
#include "signals.h"
#include "talvex_settings.h"

namespace {

const char kHostListPath[] = "/text/gethostlist";
// Far more than any account's list; a longer reply is cut and the whole
// lines within it are still read.
const size_t kMaxHostListBody = 64 * 1024;

// What a download came to: GetHostList's result and, for GetLastFailure,
// the cause of a failed exchange ("" when the exchange worked).
struct HostListOutcome {
    int result = HOSTLIST_OK;
    std::string cause;
};

// GetHostList's work; it may throw when an allocation fails.
HostListOutcome FetchHostList(const char *userName, const char *password, HWND window)
{
    HostListOutcome outcome;
    HttpGetRequest request;
    HttpGetResult reply;

    // First, before any network activity: the window clears its list.
    SendMessageA(window, kMsgHostListBegin, 0, 0);

    request.host = TALVEX_HOST_UPDATE;
    request.port = INTERNET_DEFAULT_HTTPS_PORT;
    request.path = kHostListPath;
    request.secure = true; // certificate verified, as for every request
    request.user = userName ? userName : "";
    request.password = password ? password : "";
    request.maxBody = kMaxHostListBody;
    reply = HttpGet(request);
    // A response that never arrived is a failure like the others
    // (HttpReceiveFailed), not an empty list: that would mark the account
    // authenticated and leave the caller a list without hosts. An empty
    // reply is still an empty list.
    outcome.cause = DescribeFailure(reply);
    if (reply.step != HttpOk) {
        // From HOSTLIST_FIRST_FAILED_STEP on, the step that failed.
        outcome.result = (int)reply.step;
        return outcome;
    }

    if (HostListRefused(reply.body)) {
        SetStatus(kStatusCritical);
        SetAuthed(0);
        StopUpdater();
        outcome.result = HOSTLIST_REFUSED;
        return outcome;
    }
    if (GetAuthed() != 1)
        SetAuthed(1);
    for (const std::string &host : OfferedHosts(reply.body))
        SendMessageA(window, kMsgHostListHost, (WPARAM)host.size(), (LPARAM)host.c_str());
    SendMessageA(window, kMsgHostListEnd, 0, 0);
    return outcome;
}

} // namespace

// A failed allocation reads as a list that could not be fetched at all.
int TALAPI GetHostList(const char *userName, const char *password, HWND window)
{
    return NoThrow((int)HttpOpenFailed, [&] {
        HostListOutcome outcome = FetchHostList(userName, password, window);
        RecordFailure(outcome.cause);
        return outcome.result;
    });
}
