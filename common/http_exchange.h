// The suite's one WinHTTP exchange: one session set-up, one request set-up
// (TLS rules, time-outs, credentials), one naming of the step that failed,
// used synchronously (HttpGet) and asynchronously (HttpAsync) over the same
// set-up. Linked into TalLib and the upgrade assistant; nothing of it crosses
// TalLib's exported interface.
#pragma once

#include "scoped.h"

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

// The step of an exchange that failed. Steps 2 to 7 are also the host-list
// export's results, so their numbers never change.
enum HttpStep {
    HttpOk = 0,
    HttpOpenFailed = 2,        // WinHttpOpen (or its time-outs)
    HttpConnectFailed = 3,     // WinHttpConnect
    HttpRequestFailed = 4,     // WinHttpOpenRequest (or its response time-out)
    HttpCredentialsFailed = 5, // WinHttpSetCredentials
    HttpSendFailed = 6,        // WinHttpSendRequest
    HttpReceiveFailed = 7,     // WinHttpReceiveResponse
    HttpReadFailed = 8,        // WinHttpQueryDataAvailable or WinHttpReadData (asynchronous only)
    HttpStopped = 9,           // the receiver or the owner ended it (asynchronous only)
};

// Where a request goes. Texts are ANSI.
struct HttpTarget {
    const char *host = NULL;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    const char *path = "/";      // path and query
    bool secure = false;         // TLS; the certificate is always verified
    const char *user = NULL;     // Basic credentials when user is not NULL
    const char *password = NULL;
};

// The WinHTTP call a step stands for ("WinHttpSendRequest"); NULL for
// HttpOk and HttpStopped, which no call failed.
const char *HttpStepCall(HttpStep step);

// The failed step and its Windows error in words, for a log record or a
// message: "WinHttpSendRequest failed with Windows error 12029 (A connection
// with the server could not be established)". Empty for HttpOk.
std::string DescribeFailure(HttpStep step, DWORD error);

// The root handle every exchange starts from: the suite's user agent, the
// system's default proxy configuration and the time-outs of
// http_timeouts.h. async makes it a WINHTTP_FLAG_ASYNC session. NULL on
// failure, with GetLastError set.
HINTERNET OpenHttpSession(bool async);

// The connection and request of one exchange, opened on a session.
struct HttpRequestHandles {
    ScopedInternet connect;
    ScopedInternet request;
};

// Opens the GET request for target: never from a cache, TLS when secure,
// the response time-out, Basic credentials when target.user is set. HttpOk,
// or the failed step with GetLastError set.
HttpStep OpenHttpRequest(HINTERNET session, const HttpTarget &target, HttpRequestHandles &handles);

// The length a "Content-Length: " line of raw response headers announces
// (the name matched without case at a line's start, the value ended by a
// line break). False when none is announced: the line is missing, cut off,
// not a number or too large.
bool ParseAnnouncedLength(const char *rawHeaders, unsigned long long *length);

// The same read from a response's raw headers, lengths past 4 GB included.
bool AnnouncedLength(HINTERNET request, unsigned long long *length);

// True unless the response announced a Content-Length other than received:
// a connection dropped in the middle of a body can look like its end.
bool HasAnnouncedLength(HINTERNET request, unsigned long long received);

// ---- Synchronous use ---------------------------------------------------------

struct HttpGetRequest : HttpTarget {
    size_t maxBody = 4096; // the body is cut at this many bytes
};

struct HttpGetResult {
    HttpStep step = HttpOk;
    DWORD error = 0;       // GetLastError of the failed step
    DWORD status = 0;      // the HTTP status code, 0 when no response came
    std::string body;      // text up to the first zero byte of each chunk
    bool cut = false;      // the body reached maxBody, or its reading time ran
                           // out, and the rest was not read
    bool whole = false;    // the body was read to its end, with every byte a
                           // Content-Length announced; a failed read leaves
                           // what came before it and this false
};

// Opens, sends, reads the body and closes; every handle opened is closed
// before it returns. It may throw std::bad_alloc.
HttpGetResult HttpGet(const HttpGetRequest &request);

inline std::string DescribeFailure(const HttpGetResult &result)
{
    return DescribeFailure(result.step, result.error);
}

// ---- Asynchronous use --------------------------------------------------------

// What an asynchronous exchange's owner does with it. WinHTTP's threads call
// these one at a time under the exchange's lock, so none of them may wait
// for the owner's thread: a window is only ever posted to from here, never
// sent to or touched.
class HttpReceiver {
public:
    // The request went out. False stops the exchange.
    virtual bool OnSent() { return true; }
    // The status line and headers arrived. False stops the exchange.
    virtual bool OnHeaders(HINTERNET) { return true; }
    // A piece of the body. False stops the exchange.
    virtual bool OnBody(const char *bytes, DWORD length) = 0;
    // Once per started exchange, whatever ended it: HttpOk when the body was
    // read to its end (whole: with every byte a Content-Length announced),
    // HttpStopped when a function above or the owner's CancelHttpAsync
    // stopped it, else the failed step and its Windows error.
    virtual void OnEnd(HttpStep step, DWORD error, bool whole) = 0;
    // The request handle is gone: nothing more of this exchange will come.
    virtual void OnClosed() {}

protected:
    ~HttpReceiver() = default;
};

// One asynchronous exchange at a time. Its address is the request's context
// value, so it must outlive the request: the owner keeps it until OnClosed
// or until CancelHttpAsync has seen the request closed.
struct HttpAsync {
    HttpAsync();
    ~HttpAsync();
    HttpAsync(const HttpAsync &) = delete;
    HttpAsync &operator=(const HttpAsync &) = delete;

    // Everything below is guarded by lock, which the owner's thread takes
    // only for moments (the callback never waits on that thread).
    CRITICAL_SECTION lock;
    HttpReceiver *receiver = NULL;
    HINTERNET connect = NULL;
    HINTERNET request = NULL;  // until its HANDLE_CLOSING arrives
    bool ended = true;         // OnEnd was called (or nothing was started)
    bool closing = false;      // the request handle was closed (once)
    int depth = 0;             // notifications in progress on the lock's thread
    bool boundBody = false;    // the whole body must arrive within kHttpBodyReadLimitMs
    ULONGLONG bodyDeadline = 0;
    unsigned long long received = 0; // body bytes received
    std::vector<char> chunk;   // the read in progress
    ScopedHandle closed;       // set when the request handle is gone
};

// Opens the request for target on an asynchronous session and sends it;
// from then on the receiver hears of it. boundBody limits the whole body's
// reading time as HttpGet does (for small bodies read into memory; a
// download's reads are bounded one by one by the receive time-out). HttpOk,
// or the failed step with *error set: nothing was started, OnEnd will not
// be called and every handle of the exchange is closed.
HttpStep StartHttpAsync(HttpAsync &exchange, HINTERNET session, const HttpTarget &target, HttpReceiver &receiver,
                        bool boundBody, DWORD *error);

// Stops the exchange from the owner's side: OnEnd(HttpStopped,
// ERROR_WINHTTP_OPERATION_CANCELLED) on this thread if it had not ended,
// the request closed, then a wait of at most waitMs for WinHTTP to give it
// up (Wine gives up a request that waits for its answer only when the wait
// times out). True when the exchange was still running. The exchange and
// its receiver must stay until HttpAsyncClosed is true; a new exchange may
// start at once.
bool CancelHttpAsync(HttpAsync &exchange, DWORD waitMs);

// True when no request of the exchange is left for a callback to come for.
bool HttpAsyncClosed(HttpAsync &exchange);
