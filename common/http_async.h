// The asynchronous use of the suite's WinHTTP exchange (http_exchange.h):
// one request at a time driven by WinHTTP's callback, its owner told of
// each step through a receiver. Linked into TalLib and the upgrade
// assistant; nothing of it crosses TalLib's exported interface.
#pragma once

#include "http_exchange.h"
#include "scoped.h"

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <vector>

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
    // HttpStopped when a function above or the owner's Cancel stopped it,
    // else the failed step and its Windows error.
    virtual void OnEnd(HttpStep step, DWORD error, bool whole) = 0;
    // The request handle is gone: nothing more of this exchange will come.
    virtual void OnClosed() {}

protected:
    ~HttpReceiver() = default;
};

// One asynchronous exchange at a time. Its address is the request's context
// value, so it must outlive the request: the owner keeps it until OnClosed
// or until Closed() is true.
class HttpAsync {
public:
    HttpAsync();
    ~HttpAsync();
    HttpAsync(const HttpAsync &) = delete;
    HttpAsync &operator=(const HttpAsync &) = delete;

    // Opens the request for target on an asynchronous session and sends it;
    // from then on the receiver hears of it. boundBody limits the whole
    // body's reading time as HttpGet does (for small bodies read into
    // memory; a download's reads are bounded one by one by the receive
    // time-out). HttpOk, or the failed step with *error set: nothing was
    // started, OnEnd will not be called and every handle of the exchange is
    // closed.
    HttpStep Start(HINTERNET session, const HttpTarget &target, HttpReceiver &receiver, bool boundBody,
                   DWORD *error);

    // Stops the exchange from the owner's side: OnEnd(HttpStopped,
    // ERROR_WINHTTP_OPERATION_CANCELLED) on this thread if it had not
    // ended, the request closed, then a wait of at most waitMs for WinHTTP
    // to give it up (Wine gives up a request that waits for its answer only
    // when the wait times out). True when the exchange was still running.
    // The exchange and its receiver must stay until Closed() is true; a new
    // exchange may start at once.
    bool Cancel(DWORD waitMs);

    // True when no request of the exchange is left for a callback to come
    // for, waiting at most waitMs for it.
    bool Closed(DWORD waitMs = 0);

private:
    struct ToClose;

    static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void *info, DWORD length);
    void Advance(HINTERNET request, DWORD status, void *info, DWORD length);
    void TakeEnded(ToClose &handles);
    void End(HttpStep step, DWORD error, bool whole = false);
    void EndOfBody(HINTERNET request);
    void AskForMore(HINTERNET request);
    void ReadAvailable(HINTERNET request, DWORD available);
    void TakeChunk(HINTERNET request, DWORD length);

    // Everything below is guarded by lock_, which the owner's thread takes
    // only for moments (the callback never waits on that thread). The lock
    // is re-entrant: WinHTTP may call back from inside a call made under it.
    std::unique_ptr<CriticalSection> lock_;
    HttpReceiver *receiver_ = NULL;
    HINTERNET connect_ = NULL;
    HINTERNET request_ = NULL;   // until its HANDLE_CLOSING arrives
    bool ended_ = true;          // OnEnd was called (or nothing was started)
    bool closing_ = false;       // the request handle was closed (once)
    int depth_ = 0;              // notifications in progress on the lock's thread
    bool boundBody_ = false;     // the whole body must arrive within kHttpBodyReadLimitMs
    ULONGLONG bodyDeadline_ = 0;
    unsigned long long received_ = 0; // body bytes received
    std::vector<char> chunk_;    // the read in progress
    ScopedHandle closed_;        // set when the request handle is gone
};
