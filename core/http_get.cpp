// HttpGet: TalLib's one synchronous HTTP exchange over WinHTTP.
#include "http_get.h"
#include "tallib.h"

#include "error_text.h"

#include "http_timeouts.h"
#include "scoped.h"
#include "talvex_settings.h"

#include <winhttp.h>

#include <string.h>

#include <new>

namespace {

const DWORD kChunkSize = 4096;

std::wstring Widen(const char *text)
{
    if (!text || !text[0])
        return std::wstring();
    int count = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    if (count <= 0)
        return std::wstring();
    std::wstring wide((size_t)count, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
    wide.resize((size_t)count - 1);
    return wide;
}

void Fail(HttpGetResult &result, HttpStep step)
{
    result.step = step;
    result.error = GetLastError();
}

// Reads the body chunk by chunk: each chunk counts up to its first zero
// byte, and the whole stops at maxBody (the rest is not read).
void ReadBody(HINTERNET request, size_t maxBody, HttpGetResult &result)
{
    char chunk[kChunkSize + 1];
    ULONGLONG deadline = GetTickCount64() + kHttpBodyReadLimitMs;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available) || available == 0)
            break;
        size_t room = maxBody - result.body.size();
        if (room == 0 || GetTickCount64() > deadline) {
            result.cut = true;
            break;
        }
        DWORD want = available < kChunkSize ? available : kChunkSize;
        DWORD read = 0;
        memset(chunk, 0, sizeof chunk);
        if (!WinHttpReadData(request, chunk, want, &read) || read == 0)
            break;
        size_t text = strnlen(chunk, read);
        if (text > room) {
            result.body.append(chunk, room);
            result.cut = true;
            break;
        }
        result.body.append(chunk, text);
    }
}

} // namespace

HttpGetResult HttpGet(const HttpGetRequest &request)
{
    HttpGetResult result;
    ScopedInternet session, connect, handle;
    std::wstring agent = Widen(TALVEX_USER_AGENT);
    std::wstring host = Widen(request.host);
    std::wstring path = Widen(request.path ? request.path : "/");
    std::wstring user = Widen(request.user);
    std::wstring password = Widen(request.password);
    DWORD flags = WINHTTP_FLAG_REFRESH;
    DWORD responseTimeout = kHttpResponseTimeoutMs;

    session.reset(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                          WINHTTP_NO_PROXY_BYPASS, 0));
    // No exchange runs without its time-outs.
    if (!session ||
        !WinHttpSetTimeouts(session.get(), kHttpResolveTimeoutMs, kHttpConnectTimeoutMs, kHttpSendTimeoutMs, kHttpReceiveTimeoutMs)) {
        Fail(result, HttpOpenFailed);
        goto cleanup;
    }
    connect.reset(host.empty() ? NULL : WinHttpConnect(session.get(), host.c_str(), request.port, 0));
    if (!connect) {
        Fail(result, HttpConnectFailed);
        goto cleanup;
    }
    // TLS certificates are always verified: no security flag that ignores
    // certificate errors is ever set here. Tests trust their own throwaway
    // authority instead.
    if (request.secure)
        flags |= WINHTTP_FLAG_SECURE;
    handle.reset(WinHttpOpenRequest(connect.get(), L"GET", path.c_str(), NULL, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!handle || !WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                                     sizeof responseTimeout)) {
        Fail(result, HttpRequestFailed);
        goto cleanup;
    }
    if (request.user && !WinHttpSetCredentials(handle.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                                user.c_str(), password.c_str(), NULL)) {
        Fail(result, HttpCredentialsFailed);
        goto cleanup;
    }
    if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        Fail(result, HttpSendFailed);
        goto cleanup;
    }
    if (!WinHttpReceiveResponse(handle.get(), NULL)) {
        Fail(result, HttpReceiveFailed);
        goto cleanup;
    }
    try {
        ReadBody(handle.get(), request.maxBody, result);
    } catch (const std::bad_alloc &) {
        // Stops the reading as a failed read does; nothing is thrown out.
    }

cleanup:
    SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    return result;
}

std::string DescribeFailure(const HttpGetResult &result)
{
    const char *step = "";
    switch (result.step) {
    case HttpOk: return std::string();
    case HttpOpenFailed: step = "WinHttpOpen"; break;
    case HttpConnectFailed: step = "WinHttpConnect"; break;
    case HttpRequestFailed: step = "WinHttpOpenRequest"; break;
    case HttpCredentialsFailed: step = "WinHttpSetCredentials"; break;
    case HttpSendFailed: step = "WinHttpSendRequest"; break;
    case HttpReceiveFailed: step = "WinHttpReceiveResponse"; break;
    }
    return std::string(step) + " failed with Windows " + DescribeError(result.error);
}

namespace {

// The cause of this process's last failed exchange; SRWLOCK_INIT needs no
// set-up, so the record works from the first call on any thread.
SRWLOCK g_failureLock = SRWLOCK_INIT;
char g_lastFailure[256] = "";

} // namespace

void RecordFailure(const std::string &cause)
{
    AcquireSRWLockExclusive(&g_failureLock);
    lstrcpynA(g_lastFailure, cause.c_str(), sizeof g_lastFailure);
    ReleaseSRWLockExclusive(&g_failureLock);
}

int TALAPI GetLastFailure(char *buffer, int size)
{
    int length = 0;
    if (!buffer || size <= 0)
        return 0;
    AcquireSRWLockShared(&g_failureLock);
    lstrcpynA(buffer, g_lastFailure, size);
    length = lstrlenA(buffer);
    ReleaseSRWLockShared(&g_failureLock);
    return length;
}
