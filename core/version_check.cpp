// The version check: is the release on the maker's web server newer than
// ours? IsNewerThan compares, NewVersion asks synchronously, CheckVersion
// asks in the background and reports to the configuration utility and the
// notification icon.
#include "tallib.h"
#include "http_timeouts.h"
#include "internal.h"
#include "config_keys.h"
#include "no_throw.h"
#include "signals.h"
#include "talvex_settings.h"
#include "version_text.h"

#include <winhttp.h>

#include <string.h>

namespace {

const wchar_t kVersionPathW[] = L"/support/clients/talvex-updater-winv4-current-version.html";
// A version page body is 3 to 16 bytes; the background check takes bodies
// below kReplySize bytes.
const size_t kMinBody = 3;
const size_t kMaxBody = 16;
const DWORD kReplySize = 64;
const int kIgnoredSize = 32;
const DWORD kChunkSize = 4096;

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
    ULONGLONG bodyDeadline; // GetTickCount64 past which the body read gives up
    char discard[4096];     // larger chunks are read here and dropped
};

AsyncCheck g_check;

// ANSI text into a fixed buffer: no allocation, so nothing to throw.
bool Widen(const char *text, wchar_t *wide, int size)
{
    return MultiByteToWideChar(CP_ACP, 0, text, -1, wide, size) > 0;
}

// Opens the version page's request on a session of its own, with the same
// time-outs as every other exchange: without them a server that accepts
// and never answers would hold the request (and, for the background
// check, its busy flag) for the life of the process. sessionFlags is 0 or
// WINHTTP_FLAG_ASYNC. False when a step failed; the caller closes every
// handle that is not NULL.
bool OpenVersionRequest(DWORD sessionFlags, HINTERNET &session, HINTERNET &connect, HINTERNET &request)
{
    wchar_t agent[128];
    wchar_t host[256];
    DWORD responseTimeout = kHttpResponseTimeoutMs;
    session = connect = request = NULL;
    if (!Widen(TALVEX_USER_AGENT, agent, 128) || !Widen(TALVEX_HOST_WWW, host, 256))
        return false;
    session = WinHttpOpen(agent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                          sessionFlags);
    if (!session ||
        !WinHttpSetTimeouts(session, kHttpResolveTimeoutMs, kHttpConnectTimeoutMs, kHttpSendTimeoutMs,
                            kHttpReceiveTimeoutMs))
        return false;
    connect = WinHttpConnect(session, host, INTERNET_DEFAULT_HTTP_PORT, 0);
    if (!connect)
        return false;
    request = WinHttpOpenRequest(connect, L"GET", kVersionPathW, NULL, WINHTTP_NO_REFERER,
                                 WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_REFRESH);
    return request && WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                                       sizeof responseTimeout);
}

// A body announced with a length must have arrived with all of it: a
// connection dropped in the middle of the body can look like its end.
bool HasAnnouncedLength(HINTERNET request, DWORD received)
{
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX))
        return true; // no length announced: the end of data ends the body
    return announced == received;
}

// Reads the version page's body whole: each chunk counts up to its first
// zero byte. False when a query or a read fails, the body is longer than
// limit, its reading time runs out, or fewer bytes came than announced: a
// body that did not arrive whole is no answer.
bool ReadWholeBody(HINTERNET request, char *body, size_t limit, size_t &length)
{
    char chunk[kChunkSize + 1];
    ULONGLONG deadline = GetTickCount64() + kHttpBodyReadLimitMs;
    DWORD received = 0;
    length = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            return false;
        if (available == 0)
            return HasAnnouncedLength(request, received);
        if (GetTickCount64() > deadline)
            return false;
        DWORD want = available < kChunkSize ? available : kChunkSize;
        DWORD read = 0;
        memset(chunk, 0, sizeof chunk);
        if (!WinHttpReadData(request, chunk, want, &read) || read == 0)
            return false;
        received += read;
        size_t text = strnlen(chunk, read);
        if (length + text > limit)
            return false;
        memcpy(body + length, chunk, text);
        length += text;
    }
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
    // Posted, not sent: this runs on WinHTTP's thread, which waits on no
    // window; each receiver re-reads what it shows anyway.
    if (report) {
        PostToProgram(kConfigClass, kConfigTitle, WM_USER, kCmdUpgradeAvailable, 0);
        TrayIcon_TellUpgrade();
    } else {
        PostToProgram(kConfigClass, kConfigTitle, WM_USER, kCmdLatestVersion, 0);
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
    if (g_check.received > 0 && g_check.received < kReplySize && HasAnnouncedLength(g_check.request, g_check.received)) {
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

void OnStatusUnguarded(HINTERNET handle, DWORD status, void *info, DWORD infoLength)
{
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!WinHttpReceiveResponse(handle, NULL))
            Finish();
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        // The status code and headers are not examined: the body decides.
        g_check.bodyDeadline = GetTickCount64() + kHttpBodyReadLimitMs;
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
        else if (GetTickCount64() > g_check.bodyDeadline || !WinHttpQueryDataAvailable(handle, NULL))
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

// WinHTTP's threads call this: an exception (an allocation failure while
// deciding) ends the check without a result instead of leaving the callback.
void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR, DWORD status, void *info, DWORD infoLength)
{
    try {
        OnStatusUnguarded(handle, status, info, infoLength);
    } catch (...) {
        Finish();
    }
}

// NewVersion's work; it may throw when an allocation fails. The page is
// read here rather than through HttpGet, which takes a failed read for the
// end of the body: a version cut off in the middle ("4.0" of "4.0.10")
// would be reported as the version found.
int AskVersion(const char *current, char *found, int size)
{
    HINTERNET session = NULL, connect = NULL, request = NULL;
    char body[kMaxBody + 1] = "";
    size_t length = 0;
    bool whole = false;

    if (!current || !found || size <= 0)
        return -1;
    found[0] = '\0';
    whole = OpenVersionRequest(0, session, connect, request) &&
            WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
            WinHttpReceiveResponse(request, NULL) && ReadWholeBody(request, body, kMaxBody, length);
    ScopedInternet closeRequest(request), closeConnect(connect), closeSession(session);
    if (!whole || length < kMinBody)
        return -1;
    if (length >= (size_t)size)
        length = (size_t)size - 1;
    memcpy(found, body, length);
    found[length] = '\0';
    strcpy(found, TrimVersionText(found).c_str()); // never longer than before
    return VersionIsNewer(found, current) ? 1 : 0;
}

} // namespace

int TALAPI IsNewerThan(const char *first, int, const char *second, int)
{
    if (!first || !second)
        return 0;
    return NoThrow(0, [&] { return VersionIsNewer(first, second) ? 1 : 0; });
}

// -1 unless the page's body arrived whole and 3 to 16 bytes long.
int TALAPI NewVersion(const char *current, char *found, int size)
{
    return NoThrow(-1, [&] { return AskVersion(current, found, size); });
}

// Starts the background check and returns at once. Its handles outlive
// this call by design: WinHTTP's callbacks finish the check and close them.
void TALAPI CheckVersion(void)
{
    if (InterlockedCompareExchange(&g_check.busy, 1, 0) != 0)
        return; // one check per process at a time
    g_check.closing = 0;
    g_check.received = 0;
    g_check.bodyDeadline = GetTickCount64() + kHttpBodyReadLimitMs;
    memset(g_check.reply, 0, sizeof g_check.reply);

    if (!OpenVersionRequest(WINHTTP_FLAG_ASYNC, g_check.session, g_check.connect, g_check.request) ||
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
