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

// GetHostList's work; it may throw when an allocation fails.
int FetchHostList(const char *userName, const char *password, HWND window)
{
    int result = 0;
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
    // A response that never arrived is a failure like the others (7), not
    // an empty list: that would mark the account authenticated and leave
    // the caller a list without hosts. An empty reply is still an empty list.
    RecordFailure(DescribeFailure(reply));
    if (reply.step != HttpOk) {
        result = (int)reply.step; // 2 to 7, the step that failed
        goto done;
    }

    if (HostListRefused(reply.body)) {
        SetStatus(kStatusCritical);
        SetAuthed(0);
        StopUpdater();
        result = 1;
        goto done;
    }
    if (GetAuthed() != 1)
        SetAuthed(1);
    for (const std::string &host : OfferedHosts(reply.body))
        SendMessageA(window, kMsgHostListHost, (WPARAM)host.size(), (LPARAM)host.c_str());
    SendMessageA(window, kMsgHostListEnd, 0, 0);

done:
    return result;
}

} // namespace

// A failed allocation reads as a list that could not be fetched at all.
int TALAPI GetHostList(const char *userName, const char *password, HWND window)
{
    return NoThrow((int)HttpOpenFailed, [&] { return FetchHostList(userName, password, window); });
}
