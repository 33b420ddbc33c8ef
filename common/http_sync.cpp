// HttpGet: the synchronous exchange (http_exchange.h), from opening to the
// body read into memory; every handle it opens is closed before it returns.
#include "http_exchange.h"

#include "http_timeouts.h"

#include <string.h>

#include <new>

namespace {

const DWORD kChunkSize = 4096;

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
