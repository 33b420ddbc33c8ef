// Signal and LogAndSignal: a short message written to a pipe of the suite
// (the configuration utility's, the notification icon's) in every session
// that has its reader, bounded in time, and a log record paired with the
// utility's wake-up.
#include "tallib.h"
#include "internal.h"
#include "session_pipe.h"
#include "signals.h"
#include "text_format.h"

#include <wtsapi32.h>

#include <stdio.h>
#include <string.h>

namespace {

// A suite pipe whose last write ran out its bound is most likely served by
// a reader that never reads: later writes to it wait only a moment, until
// one is taken again, so a pass that writes it several times loses half a
// second once, not each time. A reader of ours takes every message at once
// into its buffer, so the short wait never costs it one.
struct PipeStall {
    const char *name;
    LONG stalled;
};
PipeStall g_stalls[] = {{kTrayPipeName, 0}, {kConfigPipeName, 0}};

PipeStall *StallOf(const char *pipeName)
{
    for (PipeStall &stall : g_stalls) {
        if (_stricmp(stall.name, pipeName) == 0)
            return &stall;
    }
    return NULL;
}

DWORD WriteLimitFor(const PipeStall *stall)
{
    return stall && stall->stalled ? kPipeStalledWriteLimitMs : kPipeWriteLimitMs;
}

// Remembers how the write went; the first stall of a run is logged.
void NoteWrite(PipeStall *stall, bool timedOut)
{
    if (!stall)
        return;
    bool wasStalled = InterlockedExchange(&stall->stalled, timedOut ? 1 : 0) != 0;
    if (!timedOut || wasStalled)
        return;
    char message[200];
    FormatText(message, sizeof message,
             "The pipe %s did not take a message within %lu ms: another program may hold it. Messages to it are "
             "dropped until it reads again.",
             stall->name, (unsigned long)kPipeWriteLimitMs);
    LogToFile(message, LOG_NEW_RECORD, LOG_WARNING);
}

// A pipe of this machine named plainly: "\\.\pipe\" and a name with no
// separator and no "..". The system normalises a path before it opens it,
// so "\\.\pipe\..\C:\x" would leave the pipe namespace and reach a file.
bool IsPlainPipeName(const char *name)
{
    const char kPrefix[] = "\\\\.\\pipe\\";
    const size_t prefix = sizeof kPrefix - 1;
    if (!name || _strnicmp(name, kPrefix, prefix) != 0 || !name[prefix])
        return false;
    const char *rest = name + prefix;
    return !strpbrk(rest, "\\/") && !strstr(rest, "..");
}

// Writes text as one message; true when all of it went out in time. A
// suite pipe's stall is kept under its machine-wide name.
bool WriteMessage(const char *pipeName, PipeStall *stall, const char *text)
{
    // No reader, or every instance busy: the message is dropped at once.
    // Whoever serves the pipe may identify the writer but never act as it
    // (the service writes too), and the writer asks only to write.
    ScopedFile pipe(CreateFileA(pipeName, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0, NULL,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                NULL));
    if (!pipe)
        return false;
    ScopedHandle finished(CreateEventA(NULL, TRUE, FALSE, NULL));
    if (!finished)
        return false;
    OVERLAPPED write = {};
    write.hEvent = finished.get();
    // A reader takes one message in one read of its buffer; never more.
    DWORD length = (DWORD)strnlen(text, kPipeMaxMessage), written = 0;
    if (!WriteFile(pipe.get(), text, length, NULL, &write) && GetLastError() != ERROR_IO_PENDING)
        return false;
    // A reader that neither reads nor closes would hold the writer for as
    // long as it likes: past the bound the message is dropped like one
    // that found no reader, and the write is cancelled before it is freed.
    bool timedOut = WaitForSingleObject(finished.get(), WriteLimitFor(stall)) != WAIT_OBJECT_0;
    if (timedOut)
        CancelIoEx(pipe.get(), &write);
    bool sent = GetOverlappedResult(pipe.get(), &write, &written, TRUE) && written == length;
    NoteWrite(stall, timedOut && !sent);
    return sent;
}

// The sessions whose readers may listen: this process's own and every
// session with a user signed in, connected or not (a disconnected user's
// icon still runs). The service's own session has no icon.
const DWORD kMostSessions = 64;

void AddSession(DWORD *sessions, DWORD &count, DWORD session)
{
    for (DWORD i = 0; i < count; ++i)
        if (sessions[i] == session)
            return;
    if (count < kMostSessions)
        sessions[count++] = session;
}

DWORD ListSessions(DWORD *sessions)
{
    DWORD count = 0;
    AddSession(sessions, count, OwnSession());
    // The console's session even where the sessions cannot be listed.
    DWORD console = WTSGetActiveConsoleSessionId();
    if (console != 0xFFFFFFFF)
        AddSession(sessions, count, console);
    WTS_SESSION_INFOA *list = NULL;
    DWORD listed = 0;
    if (WTSEnumerateSessionsA(WTS_CURRENT_SERVER_HANDLE, 0, 1, &list, &listed)) {
        for (DWORD i = 0; i < listed; ++i) {
            const WTS_SESSION_INFOA &session = list[i];
            if (session.SessionId != 0 &&
                (session.State == WTSActive || session.State == WTSConnected || session.State == WTSDisconnected))
                AddSession(sessions, count, session.SessionId);
        }
        WTSFreeMemory(list);
    }
    return count;
}

// A suite pipe's message goes to that pipe of each session that has its
// reader; a session without one has no such pipe and costs one failed open.
// True when at least one reader took it.
bool WriteToEverySession(const char *pipeName, PipeStall *stall, const char *text)
{
    DWORD sessions[kMostSessions];
    DWORD count = ListSessions(sessions);
    bool sent = false;
    for (DWORD i = 0; i < count; ++i) {
        char name[kSessionPipeNameSize];
        if (SessionPipeName(pipeName, sessions[i], name, sizeof name) && WriteMessage(name, stall, text))
            sent = true;
    }
    return sent;
}

} // namespace

int TALAPI Signal(const char *pipeName, const char *text)
{
    // Only pipes: the name is opened for writing and must never reach a file.
    if (!IsPlainPipeName(pipeName) || !text)
        return 0;
    PipeStall *stall = StallOf(pipeName);
    if (stall)
        return WriteToEverySession(stall->name, stall, text) ? 1 : 0;
    return WriteMessage(pipeName, NULL, text) ? 1 : 0;
}

int TALAPI LogAndSignal(const char *message, int newRecord, unsigned level)
{
    LogToFile(message, newRecord, level);
    Signal(kConfigPipeName, kConfigMsgLogChanged);
    return 0;
}
