// The suite's one WinHTTP exchange: session and request set-up, the
// synchronous GET and the asynchronous exchange driven by WinHTTP's callback.
#include "http_exchange.h"

#include "error_text.h"
#include "http_timeouts.h"
#include "talvex_settings.h"

#include <limits.h>
#include <string.h>

#include <new>

namespace {

const DWORD kChunkSize = 4096;
// An asynchronous read takes what is available up to this much at a time.
const DWORD kAsyncChunkMax = 65536;

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

// Reads the body chunk by chunk: each chunk counts up to its first zero
// byte, and the whole stops at maxBody (the rest is not read).
void ReadBody(HINTERNET request, size_t maxBody, HttpGetResult &result)
{
    char chunk[kChunkSize + 1];
    ULONGLONG deadline = GetTickCount64() + kHttpBodyReadLimitMs;
    unsigned long long received = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available))
            break;
        if (available == 0) {
            result.whole = HasAnnouncedLength(request, received);
            break;
        }
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
        received += read;
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

HttpGetResult HttpGet(const HttpGetRequest &request)
{
    HttpGetResult result;
    ScopedInternet session(OpenHttpSession(false));
    HttpRequestHandles handles;
    if (!session)
        result.step = HttpOpenFailed;
    else
        result.step = OpenHttpRequest(session.get(), request, handles);
    if (result.step == HttpOk &&
        !WinHttpSendRequest(handles.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        result.step = HttpSendFailed;
    if (result.step == HttpOk && !WinHttpReceiveResponse(handles.request.get(), NULL))
        result.step = HttpReceiveFailed;
    if (result.step != HttpOk) {
        result.error = GetLastError();
        return result;
    }
    DWORD size = sizeof result.status;
    if (!WinHttpQueryHeaders(handles.request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &result.status, &size, WINHTTP_NO_HEADER_INDEX))
        result.status = 0;
    try {
        ReadBody(handles.request.get(), request.maxBody, result);
    } catch (const std::bad_alloc &) {
        // Stops the reading as a failed read does; nothing is thrown out.
        result.whole = false;
    }
    return result;
}

// ---- Asynchronous exchange ---------------------------------------------------

namespace {

// The request and its connection, taken out to be closed once no lock is
// held: WinHTTP may still have a notification of the request to deliver
// on another thread, which must not find the lock taken while the handles
// are closed. Its HANDLE_CLOSING is the exchange's last notification.
struct ToClose {
    HINTERNET request = NULL;
    HINTERNET connect = NULL;
    ~ToClose()
    {
        if (request)
            WinHttpCloseHandle(request);
        if (connect)
            WinHttpCloseHandle(connect);
    }
};

// Under the lock, outside every notification of this thread: hands out the
// request of an exchange that ended, once.
void TakeEnded(HttpAsync &x, ToClose &handles)
{
    if (!x.ended || x.depth > 0 || x.closing || !x.request)
        return;
    x.closing = true;
    handles.request = x.request;
    handles.connect = x.connect;
    x.connect = NULL;
}

void End(HttpAsync &x, HttpStep step, DWORD error, bool whole = false)
{
    if (x.ended)
        return;
    x.ended = true;
    try {
        x.receiver->OnEnd(step, error, whole);
    } catch (...) {
        // A receiver out of memory has nothing more to report.
    }
}

void EndOfBody(HttpAsync &x, HINTERNET request) { End(x, HttpOk, 0, HasAnnouncedLength(request, x.received)); }

void AskForMore(HttpAsync &x, HINTERNET request)
{
    if (!WinHttpQueryDataAvailable(request, NULL))
        End(x, HttpReadFailed, GetLastError());
}

void ReadAvailable(HttpAsync &x, HINTERNET request, DWORD available)
{
    if (available == 0) {
        EndOfBody(x, request);
        return;
    }
    x.chunk.resize(available < kAsyncChunkMax ? available : kAsyncChunkMax);
    if (!WinHttpReadData(request, x.chunk.data(), (DWORD)x.chunk.size(), NULL))
        End(x, HttpReadFailed, GetLastError());
}

void TakeChunk(HttpAsync &x, HINTERNET request, DWORD length)
{
    if (length == 0) {
        EndOfBody(x, request);
        return;
    }
    x.received += length;
    if (!x.receiver->OnBody(x.chunk.data(), length))
        End(x, HttpStopped, 0);
    else if (x.boundBody && GetTickCount64() > x.bodyDeadline)
        End(x, HttpReadFailed, ERROR_WINHTTP_TIMEOUT);
    else
        AskForMore(x, request);
}

HttpStep StepOfCall(DWORD_PTR call)
{
    switch (call) {
    case API_RECEIVE_RESPONSE: return HttpReceiveFailed;
    case API_QUERY_DATA_AVAILABLE:
    case API_READ_DATA: return HttpReadFailed;
    default: return HttpSendFailed;
    }
}

// One notification for the exchange's current request. WinHTTP may call
// back from inside the calls made here (the lock is re-entrant), so every
// handler makes its WinHTTP call last.
void Advance(HttpAsync &x, HINTERNET request, DWORD status, void *info, DWORD length)
{
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!x.receiver->OnSent())
            End(x, HttpStopped, 0);
        else if (!WinHttpReceiveResponse(request, NULL))
            End(x, HttpReceiveFailed, GetLastError());
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        x.bodyDeadline = GetTickCount64() + kHttpBodyReadLimitMs;
        if (!x.receiver->OnHeaders(request))
            End(x, HttpStopped, 0);
        else
            AskForMore(x, request);
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        ReadAvailable(x, request, length >= sizeof(DWORD) ? *(DWORD *)info : 0);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        TakeChunk(x, request, length);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: { // a refused or dropped connection, a time-out, TLS
        const WINHTTP_ASYNC_RESULT *result = (const WINHTTP_ASYNC_RESULT *)info;
        End(x, StepOfCall(result->dwResult), result->dwError);
        break;
    }
    default:
        break;
    }
}

void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void *info, DWORD length)
{
    HttpAsync *x = (HttpAsync *)context;
    if (!x)
        return;
    ToClose ended; // declared first: closed after the lock is left
    EnterCriticalSection(&x->lock);
    // A late notification of an earlier request of the same exchange
    // finds another (or no) request here and changes nothing.
    if (handle == x->request) {
        if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
            x->request = NULL;
            x->closing = false;
            SetEvent(x->closed.get());
            x->receiver->OnClosed();
        } else if (!x->ended) {
            ++x->depth;
            try {
                Advance(*x, handle, status, info, length);
            } catch (...) {
                End(*x, HttpStopped, ERROR_NOT_ENOUGH_MEMORY);
            }
            --x->depth;
            TakeEnded(*x, ended);
        }
    }
    LeaveCriticalSection(&x->lock);
}

} // namespace

HttpAsync::HttpAsync() : closed(CreateEventA(NULL, TRUE, TRUE, NULL))
{
    InitializeCriticalSection(&lock);
}

HttpAsync::~HttpAsync()
{
    // With a request still open a late callback could yet take the lock.
    if (!request)
        DeleteCriticalSection(&lock);
}

HttpStep StartHttpAsync(HttpAsync &x, HINTERNET session, const HttpTarget &target, HttpReceiver &receiver,
                        bool boundBody, DWORD *error)
{
    HttpRequestHandles handles;
    HttpStep step = HttpOk;
    DWORD_PTR context = (DWORD_PTR)&x;
    EnterCriticalSection(&x.lock);
    if (!x.ended) {
        SetLastError(ERROR_BUSY); // one exchange at a time
        step = HttpOpenFailed;
    } else if (!session) {
        SetLastError(ERROR_INVALID_HANDLE);
        step = HttpOpenFailed;
    } else {
        try {
            step = OpenHttpRequest(session, target, handles);
        } catch (...) { // no room for the texts: the lock must still be left
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            step = HttpRequestFailed;
        }
    }
    if (step == HttpOk &&
        (!WinHttpSetOption(handles.request.get(), WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof context) ||
         WinHttpSetStatusCallback(handles.request.get(), OnStatus, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0) ==
             WINHTTP_INVALID_STATUS_CALLBACK))
        step = HttpRequestFailed;
    if (step == HttpOk) {
        x.receiver = &receiver;
        x.request = handles.request.release();
        x.connect = handles.connect.release();
        x.ended = false;
        x.closing = false;
        x.boundBody = boundBody;
        x.bodyDeadline = GetTickCount64() + kHttpBodyReadLimitMs;
        x.received = 0;
        ResetEvent(x.closed.get());
        // From here on the callback drives the exchange.
        if (!WinHttpSendRequest(x.request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                context)) {
            step = HttpSendFailed;
            DWORD sendError = GetLastError();
            // Nothing went out: no notification is wanted for this request.
            WinHttpSetStatusCallback(x.request, NULL, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
            handles.request.reset(x.request);
            handles.connect.reset(x.connect);
            x.request = x.connect = NULL;
            x.ended = true;
            SetEvent(x.closed.get());
            SetLastError(sendError);
        }
    }
    if (error)
        *error = step == HttpOk ? 0 : GetLastError();
    LeaveCriticalSection(&x.lock);
    return step;
}

bool CancelHttpAsync(HttpAsync &x, DWORD waitMs)
{
    bool running = false;
    {
        ToClose stopped;
        EnterCriticalSection(&x.lock);
        running = !x.ended;
        End(x, HttpStopped, ERROR_WINHTTP_OPERATION_CANCELLED);
        TakeEnded(x, stopped);
        LeaveCriticalSection(&x.lock);
    }
    WaitForSingleObject(x.closed.get(), waitMs);
    return running;
}

bool HttpAsyncClosed(HttpAsync &x)
{
    EnterCriticalSection(&x.lock);
    bool closed = x.request == NULL;
    LeaveCriticalSection(&x.lock);
    return closed;
}
