// The suite's one WinHTTP exchange: one session set-up, one request set-up
// (TLS rules, time-outs, credentials), one naming of the step that failed,
// used synchronously (HttpGet, below) and asynchronously (HttpAsync,
// http_async.h) over the same set-up. Linked into TalLib and the upgrade
// assistant; nothing of it crosses TalLib's exported interface.
#pragma once

#include "scoped.h"

#include <windows.h>
#include <winhttp.h>

#include <string>

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
