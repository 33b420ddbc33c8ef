// The suite's one WinHTTP exchange, the part both uses share: the session
// and request set-up and the naming of the step that failed. The
// synchronous GET is in http_sync.cpp, the asynchronous exchange in
// http_async.cpp.
#include "http_exchange.h"

#include "error_text.h"
#include "http_timeouts.h"
#include "talvex_settings.h"

#include <limits.h>
#include <string.h>

#include <vector>

namespace {

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

} // namespace

const char *HttpStepCall(HttpStep step)
{
    switch (step) {
    case HttpOpenFailed: return "WinHttpOpen";
    case HttpConnectFailed: return "WinHttpConnect";
    case HttpRequestFailed: return "WinHttpOpenRequest";
    case HttpCredentialsFailed: return "WinHttpSetCredentials";
    case HttpSendFailed: return "WinHttpSendRequest";
    case HttpReceiveFailed: return "WinHttpReceiveResponse";
    case HttpReadFailed: return "WinHttpReadData";
    case HttpOk:
    case HttpStopped: break;
    }
    return NULL;
}

std::string DescribeFailure(HttpStep step, DWORD error)
{
    if (step == HttpOk)
        return std::string();
    if (step == HttpStopped)
        return "The exchange was stopped";
    return std::string(HttpStepCall(step)) + " failed with Windows " + DescribeError(error);
}

HINTERNET OpenHttpSession(bool async)
{
    // The system's default proxy configuration, as every program of the
    // suite has always used; the TLS versions are the system's too (its
    // policy and updates decide them, and the oldest supported systems
    // refuse an explicit choice of newer ones).
    ScopedInternet session(WinHttpOpen(L"" TALVEX_USER_AGENT, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, async ? WINHTTP_FLAG_ASYNC : 0));
    // No exchange runs without its time-outs.
    if (session && !WinHttpSetTimeouts(session.get(), kHttpResolveTimeoutMs, kHttpConnectTimeoutMs,
                                       kHttpSendTimeoutMs, kHttpReceiveTimeoutMs)) {
        DWORD error = GetLastError(); // the caller names it, not the closing
        session.reset();
        SetLastError(error);
    }
    return session.release();
}

HttpStep OpenHttpRequest(HINTERNET session, const HttpTarget &target, HttpRequestHandles &handles)
{
    std::wstring host = Widen(target.host);
    std::wstring path = Widen(target.path ? target.path : "/");
    DWORD responseTimeout = kHttpResponseTimeoutMs;
    DWORD flags = WINHTTP_FLAG_REFRESH; // never answered from a cache
    HttpStep step = HttpOk;

    SetLastError(ERROR_INVALID_PARAMETER); // what a missing session or host reports
    handles.connect.reset(session && !host.empty() ? WinHttpConnect(session, host.c_str(), target.port, 0) : NULL);
    if (!handles.connect)
        return HttpConnectFailed;
    // TLS certificates are always verified: no security flag that ignores
    // a certificate error is ever set here, for any exchange. Tests trust
    // their own throwaway authority instead.
    if (target.secure)
        flags |= WINHTTP_FLAG_SECURE;
    handles.request.reset(WinHttpOpenRequest(handles.connect.get(), L"GET", path.c_str(), NULL, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    if (!handles.request || !WinHttpSetOption(handles.request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                                              &responseTimeout, sizeof responseTimeout))
        return HttpRequestFailed;
    if (target.user) {
        std::wstring user = Widen(target.user);
        std::wstring password = Widen(target.password);
        if (!WinHttpSetCredentials(handles.request.get(), WINHTTP_AUTH_TARGET_SERVER, WINHTTP_AUTH_SCHEME_BASIC,
                                   user.c_str(), password.c_str(), NULL))
            step = HttpCredentialsFailed;
        DWORD error = GetLastError();
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        SetLastError(error);
    }
    return step;
}

bool ParseAnnouncedLength(const char *rawHeaders, unsigned long long *length)
{
    static const char kName[] = "Content-Length: ";
    const size_t nameLength = sizeof kName - 1;
    const char *value = NULL;
    for (const char *line = rawHeaders; line && *line && !value;) {
        if (_strnicmp(line, kName, nameLength) == 0)
            value = line + nameLength;
        line = strchr(line, '\n');
        if (line)
            ++line;
    }
    if (!value || !strpbrk(value, "\r\n") || *value < '0' || *value > '9')
        return false;
    unsigned long long total = 0;
    for (const char *p = value; *p >= '0' && *p <= '9'; ++p) {
        if (total > (ULLONG_MAX - 9) / 10)
            return false; // no real body is that large
        total = total * 10 + (unsigned long long)(*p - '0');
    }
    *length = total;
    return true;
}

bool AnnouncedLength(HINTERNET request, unsigned long long *length)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, NULL, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size == 0)
        return false;
    std::vector<wchar_t> wide(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, wide.data(),
                             &size, WINHTTP_NO_HEADER_INDEX))
        return false;
    int count = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, NULL, 0, NULL, NULL);
    if (count <= 0)
        return false;
    std::vector<char> text((size_t)count, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), count, NULL, NULL);
    return ParseAnnouncedLength(text.data(), length);
}

bool HasAnnouncedLength(HINTERNET request, unsigned long long received)
{
    unsigned long long announced = 0;
    if (!AnnouncedLength(request, &announced))
        return true; // no length announced: the end of data ends the body
    return announced == received;
}
