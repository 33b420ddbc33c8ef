// The version check: is the release on the maker's web server newer than
// ours? IsNewerThan compares, NewVersion asks synchronously, CheckVersion
// asks in the background and reports to the configuration utility and the
// notification icon.
#include "tallib.h"
#include "http_get.h"
#include "internal.h"
#include "config_keys.h"
#include "signals.h"
#include "talvex_settings.h"
#include "version_text.h"

#include <winhttp.h>

#include <string.h>

namespace {

const char kVersionPath[] = "/support/clients/talvex-updater-winv4-current-version.html";
const wchar_t kVersionPathW[] = L"/support/clients/talvex-updater-winv4-current-version.html";
// A version page body is 3 to 16 bytes; the background check takes bodies
// below kReplySize bytes.
const size_t kMinBody = 3;
const size_t kMaxBody = 16;
const DWORD kReplySize = 64;
const int kIgnoredSize = 32;

// The one background check of the process. Fields other than busy are
// touched only by the thread that won busy, then by WinHTTP's callbacks
// for its request, one at a time.
struct AsyncCheck {
    volatile LONG busy;    // a check is running; cleared when its request handle is gone
    volatile LONG closing; // the request handle was closed (it must be closed once)
    HINTERNET session;
    HINTERNET connect;
    HINTERNET request;
    char reply[kReplySize]; // the body, while it fits with a terminator
    DWORD received;         // body bytes received, kept or not
    char discard[4096];     // larger chunks are read here and dropped
};

AsyncCheck g_check;

std::wstring Wide(const char *text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), n);
    wide.resize(wcslen(wide.c_str()));
    return wide;
}

// Reports the offered version: 142 and the tray notice when it is newer
// than ours and than the version the user chose to ignore, else 141.
void Decide(const char *offered)
{
    bool report = false;
    if (VersionIsNewer(offered, TALVEX_VERSION)) {
        char ignored[kIgnoredSize] = "";
        ConfigReadText(kSectionApp, kKeyIgnoreVersion, "", ignored, sizeof ignored);
        report = ignored[0] == '\0' || VersionIsNewer(offered, ignored);
    }
    if (report) {
        TellConfig((int)kCmdUpgradeAvailable, 0);
        TrayIcon_TellUpgrade();
    } else {
        TellConfig((int)kCmdLatestVersion, 0);
    }
}

// Ends the check, whatever state it is in: closes the request handle once.
// WinHTTP then sends HANDLE_CLOSING, where the rest is released.
void Finish()
{
    if (InterlockedExchange(&g_check.closing, 1) == 0)
        WinHttpCloseHandle(g_check.request);
}

// The whole body is in: decide on it once, if it was short enough.
void EndOfBody()
{
    if (g_check.received > 0 && g_check.received < kReplySize) {
        g_check.reply[g_check.received] = '\0';
        Decide(TrimVersionText(g_check.reply).c_str());
    }
    Finish();
}

void ReadChunk(DWORD available)
{
    if (available == 0) {
        EndOfBody();
        return;
    }
    // Bytes are kept only while the body still fits with a terminator; a
    // body of kReplySize bytes or more gives no result at all.
    BOOL ok;
    if (g_check.received + available < kReplySize)
        ok = WinHttpReadData(g_check.request, g_check.reply + g_check.received, available, NULL);
    else
        ok = WinHttpReadData(g_check.request, g_check.discard,
                             available < sizeof g_check.discard ? available : sizeof g_check.discard, NULL);
    if (!ok)
        Finish();
}

void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR, DWORD status, void *info, DWORD infoLength)
{
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(handle, NULL))
            Finish();
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        // The status code and headers are not examined: the body decides.
        if (!WinHttpQueryDataAvailable(handle, NULL))
            Finish();
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        ReadChunk(infoLength >= sizeof(DWORD) ? *(DWORD *)info : 0);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        g_check.received += infoLength;
        if (infoLength == 0)
            EndOfBody();
        else if (!WinHttpQueryDataAvailable(handle, NULL))
            Finish();
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
        // A refused connection, a dropped one, a timeout: no result, but
        // the check ends so that a later one can run.
        Finish();
        break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
        // The request's last notification. Its connection and session have
        // no callback of their own and close at once.
        if (handle == g_check.request) {
            WinHttpCloseHandle(g_check.connect);
            WinHttpCloseHandle(g_check.session);
            g_check.request = g_check.connect = g_check.session = NULL;
            InterlockedExchange(&g_check.busy, 0); // last: a new check may start now
        }
        break;
    default:
        break;
    }
}

} // namespace

int TALAPI IsNewerThan(const char *first, int, const char *second, int)
{
    if (!first || !second)
        return 0;
    return VersionIsNewer(first, second) ? 1 : 0;
}

int TALAPI NewVersion(const char *current, char *found, int size)
{
    int result = -1;
    HttpGetRequest request;
    HttpGetResult reply;
    size_t length = 0;

    if (!current || !found || size <= 0)
        goto done;
    found[0] = '\0';
    request.host = TALVEX_HOST_WWW;
    request.port = INTERNET_DEFAULT_HTTP_PORT;
    request.path = kVersionPath;
    request.maxBody = kMaxBody + 1; // enough to tell a body that is too long
    reply = HttpGet(request);
    if (reply.step != HttpOk || reply.body.size() < kMinBody || reply.body.size() > kMaxBody)
        goto done;
    length = reply.body.size() < (size_t)size ? reply.body.size() : (size_t)size - 1;
    memcpy(found, reply.body.data(), length);
    found[length] = '\0';
    strcpy(found, TrimVersionText(found).c_str()); // never longer than before
    result = VersionIsNewer(found, current) ? 1 : 0;
done:
    return result;
}

// Starts the background check and returns at once. Its handles outlive
// this call by design: WinHTTP's callbacks finish the check and close them.
void TALAPI CheckVersion(void)
{
    std::wstring agent;
    std::wstring host;

    if (InterlockedCompareExchange(&g_check.busy, 1, 0) != 0)
        return; // one check per process at a time
    g_check.closing = 0;
    g_check.received = 0;
    memset(g_check.reply, 0, sizeof g_check.reply);

    agent = Wide(TALVEX_USER_AGENT);
    host = Wide(TALVEX_HOST_WWW);
    g_check.session = WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    g_check.connect = g_check.session ? WinHttpConnect(g_check.session, host.c_str(), INTERNET_DEFAULT_HTTP_PORT, 0)
                                      : NULL;
    g_check.request = g_check.connect ? WinHttpOpenRequest(g_check.connect, L"GET", kVersionPathW, NULL,
                                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                           WINHTTP_FLAG_REFRESH)
                                      : NULL;
    if (!g_check.request ||
        WinHttpSetStatusCallback(g_check.request, OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK)
        goto failed;
    // From here on the callback owns the check. A send that fails at once
    // ends it the same way as a failure reported later.
    if (!WinHttpSendRequest(g_check.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        Finish();
    return;

failed:
    // Nothing was sent and no callback is registered: close here.
    if (g_check.request)
        WinHttpCloseHandle(g_check.request);
    if (g_check.connect)
        WinHttpCloseHandle(g_check.connect);
    if (g_check.session)
        WinHttpCloseHandle(g_check.session);
    g_check.request = g_check.connect = g_check.session = NULL;
    InterlockedExchange(&g_check.busy, 0);
}
