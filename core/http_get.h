// TalLib's one HTTP exchange: every synchronous GET of the suite (address
// check, update, host list, version page) opens, sends, reads the body and
// closes through HttpGet, which reports the step that failed.
#pragma once

#include <windows.h>
#include <winhttp.h> // INTERNET_PORT

#include <string>

enum HttpStep {
    HttpOk = 0,
    HttpOpenFailed = 2,        // WinHttpOpen
    HttpConnectFailed = 3,     // WinHttpConnect
    HttpRequestFailed = 4,     // WinHttpOpenRequest
    HttpCredentialsFailed = 5, // WinHttpSetCredentials
    HttpSendFailed = 6,        // WinHttpSendRequest
    HttpReceiveFailed = 7,     // WinHttpReceiveResponse: the body stays empty
};

struct HttpGetRequest {
    const char *host = NULL;     // ANSI host name
    INTERNET_PORT port = 80;
    const char *path = "/";      // path and query, ANSI
    bool secure = false;         // TLS; the certificate is always verified
    const char *user = NULL;     // Basic credentials when user is not NULL
    const char *password = NULL;
    size_t maxBody = 4096;       // the body is cut at this many bytes
};

struct HttpGetResult {
    HttpStep step = HttpOk;
    DWORD error = 0;             // GetLastError of the failed step
    std::string body;            // text up to the first zero byte of each chunk
    bool cut = false;            // the body reached maxBody, or its reading time ran
                                 // out, and the rest was not read
};

// Every handle opened is closed before it returns.
HttpGetResult HttpGet(const HttpGetRequest &request);

// The failed step and its Windows error in words, for a log record:
// "WinHttpSendRequest failed with Windows error 12029 (A connection with
// the server could not be established)". Empty for HttpOk.
std::string DescribeFailure(const HttpGetResult &result);

// Keeps the cause of a failed exchange (or "" after one that worked) for
// GetLastFailure: the address check and the host list record theirs.
void RecordFailure(const std::string &cause);
