// The time-outs every WinHTTP exchange of the suite sets, synchronous or
// asynchronous, so that a silent server or a dropped connection never holds
// a caller, a worker thread, a background check or a download for long.
#pragma once

#include <windows.h>

// WinHTTP's own defaults wait without bound to resolve a name, 60 s to
// connect and 30 s for each send and receive; a name or a connection on a
// working network takes well under a second, and the service answers in
// well under a second, so these leave wide margins.
const int kHttpResolveTimeoutMs = 10000;
const int kHttpConnectTimeoutMs = 10000;
const int kHttpSendTimeoutMs = 15000;
const int kHttpReceiveTimeoutMs = 15000; // for each read
// The response headers are waited for under a limit of their own (90 s by
// default on Windows; under Wine no limit at all unless it is set).
const DWORD kHttpResponseTimeoutMs = 15000;
// A server that trickles a byte now and then resets the per-read limit;
// this bounds the whole reading of a body kept in memory (a page of a few
// hundred bytes). A download to a file is bounded read by read instead: it
// may take long on a slow line, and its progress shows that it advances.
const ULONGLONG kHttpBodyReadLimitMs = 30000;
