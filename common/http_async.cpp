// The asynchronous exchange (http_async.h): WinHTTP's callback drives one
// request at a time through its steps, and every handle is closed on every
// path, once no lock is held.
#include "http_async.h"

#include "http_timeouts.h"

namespace {

// An asynchronous read takes what is available up to this much at a time.
const DWORD kAsyncChunkMax = 65536;

HttpStep StepOfCall(DWORD_PTR call)
{
    switch (call) {
    case API_RECEIVE_RESPONSE: return HttpReceiveFailed;
    case API_QUERY_DATA_AVAILABLE:
    case API_READ_DATA: return HttpReadFailed;
    default: return HttpSendFailed;
    }
}

} // namespace

// The request and its connection, taken out to be closed once no lock is
// held: WinHTTP may still have a notification of the request to deliver
// on another thread, which must not find the lock taken while the handles
// are closed. Its HANDLE_CLOSING is the exchange's last notification.
struct HttpAsync::ToClose {
    ScopedInternet connect;
    ScopedInternet request; // closed first
};

HttpAsync::HttpAsync() : lock_(new CriticalSection), closed_(CreateEventA(NULL, TRUE, TRUE, NULL)) {}

HttpAsync::~HttpAsync()
{
    // With a request still open a late callback could yet take the lock:
    // it is left to that callback.
    if (request_)
        (void)lock_.release();
}

// Under the lock, outside every notification of this thread: hands out the
// request of an exchange that ended, once.
void HttpAsync::TakeEnded(ToClose &handles)
{
    if (!ended_ || depth_ > 0 || closing_ || !request_)
        return;
    closing_ = true;
    handles.request.reset(request_);
    handles.connect.reset(connect_);
    connect_ = NULL;
}

void HttpAsync::End(HttpStep step, DWORD error, bool whole)
{
    if (ended_)
        return;
    ended_ = true;
    try {
        receiver_->OnEnd(step, error, whole);
    } catch (...) {
        // A receiver out of memory has nothing more to report.
    }
}

void HttpAsync::EndOfBody(HINTERNET request) { End(HttpOk, 0, HasAnnouncedLength(request, received_)); }

void HttpAsync::AskForMore(HINTERNET request)
{
    if (!WinHttpQueryDataAvailable(request, NULL))
        End(HttpReadFailed, GetLastError());
}

void HttpAsync::ReadAvailable(HINTERNET request, DWORD available)
{
    if (available == 0) {
        EndOfBody(request);
        return;
    }
    chunk_.resize(available < kAsyncChunkMax ? available : kAsyncChunkMax);
    if (!WinHttpReadData(request, chunk_.data(), (DWORD)chunk_.size(), NULL))
        End(HttpReadFailed, GetLastError());
}

void HttpAsync::TakeChunk(HINTERNET request, DWORD length)
{
    if (length == 0) {
        EndOfBody(request);
        return;
    }
    received_ += length;
    if (!receiver_->OnBody(chunk_.data(), length))
        End(HttpStopped, 0);
    else if (boundBody_ && GetTickCount64() > bodyDeadline_)
        End(HttpReadFailed, ERROR_WINHTTP_TIMEOUT);
    else
        AskForMore(request);
}

// One notification for the exchange's current request. WinHTTP may call
// back from inside the calls made here (the lock is re-entrant), so every
// handler makes its WinHTTP call last.
void HttpAsync::Advance(HINTERNET request, DWORD status, void *info, DWORD length)
{
    switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
        if (!receiver_->OnSent())
            End(HttpStopped, 0);
        else if (!WinHttpReceiveResponse(request, NULL))
            End(HttpReceiveFailed, GetLastError());
        break;
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
        bodyDeadline_ = GetTickCount64() + kHttpBodyReadLimitMs;
        if (!receiver_->OnHeaders(request))
            End(HttpStopped, 0);
        else
            AskForMore(request);
        break;
    case WINHTTP_CALLBACK_STATUS_DATA_AVAILABLE:
        ReadAvailable(request, length >= sizeof(DWORD) ? *(DWORD *)info : 0);
        break;
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
        TakeChunk(request, length);
        break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR: { // a refused or dropped connection, a time-out, TLS
        const WINHTTP_ASYNC_RESULT *result = (const WINHTTP_ASYNC_RESULT *)info;
        End(StepOfCall(result->dwResult), result->dwError);
        break;
    }
    default:
        break;
    }
}

void CALLBACK HttpAsync::OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void *info, DWORD length)
{
    HttpAsync *x = (HttpAsync *)context;
    if (!x)
        return;
    ToClose ended; // declared first: closed after the lock is left
    CriticalSectionLock lock(*x->lock_);
    // A late notification of an earlier request of the same exchange
    // finds another (or no) request here and changes nothing.
    if (handle != x->request_)
        return;
    if (status == WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING) {
        x->request_ = NULL;
        x->closing_ = false;
        SetEvent(x->closed_.get());
        x->receiver_->OnClosed();
    } else if (!x->ended_) {
        ++x->depth_;
        try {
            x->Advance(handle, status, info, length);
        } catch (...) {
            x->End(HttpStopped, ERROR_NOT_ENOUGH_MEMORY);
        }
        --x->depth_;
        x->TakeEnded(ended);
    }
}

HttpStep HttpAsync::Start(HINTERNET session, const HttpTarget &target, HttpReceiver &receiver, bool boundBody,
                          DWORD *error)
{
    HttpRequestHandles handles; // declared first: closed after the lock is left
    HttpStep step = HttpOk;
    DWORD_PTR context = (DWORD_PTR)this;
    CriticalSectionLock lock(*lock_);
    if (!ended_) {
        SetLastError(ERROR_BUSY); // one exchange at a time
        step = HttpOpenFailed;
    } else if (!session) {
        SetLastError(ERROR_INVALID_HANDLE);
        step = HttpOpenFailed;
    } else {
        try {
            step = OpenHttpRequest(session, target, handles);
        } catch (...) { // no room for the texts
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
        receiver_ = &receiver;
        request_ = handles.request.release();
        connect_ = handles.connect.release();
        ended_ = false;
        closing_ = false;
        boundBody_ = boundBody;
        bodyDeadline_ = GetTickCount64() + kHttpBodyReadLimitMs;
        received_ = 0;
        ResetEvent(closed_.get());
        // From here on the callback drives the exchange.
        if (!WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, context)) {
            step = HttpSendFailed;
            DWORD sendError = GetLastError();
            // Nothing went out: no notification is wanted for this request.
            WinHttpSetStatusCallback(request_, NULL, WINHTTP_CALLBACK_FLAG_ALL_NOTIFICATIONS, 0);
            handles.request.reset(request_);
            handles.connect.reset(connect_);
            request_ = connect_ = NULL;
            ended_ = true;
            SetEvent(closed_.get());
            SetLastError(sendError);
        }
    }
    if (error)
        *error = step == HttpOk ? 0 : GetLastError();
    return step;
}

bool HttpAsync::Cancel(DWORD waitMs)
{
    bool running = false;
    {
        ToClose stopped; // declared first: closed after the lock is left
        CriticalSectionLock lock(*lock_);
        running = !ended_;
        End(HttpStopped, ERROR_WINHTTP_OPERATION_CANCELLED);
        TakeEnded(stopped);
    }
    WaitForSingleObject(closed_.get(), waitMs);
    return running;
}

bool HttpAsync::Closed(DWORD waitMs)
{
    if (waitMs)
        WaitForSingleObject(closed_.get(), waitMs);
    CriticalSectionLock lock(*lock_);
    return request_ == NULL;
}
