// The shared log file, its timestamps, the pipe writers that pair logging
// with a wake-up, and the support report.
//
// Every program appends to the log at once. Each write is one
// open-append-close under a machine-wide mutex: whether a record needs a
// leading line break depends on whether the file already holds text, and
// without the lock two processes starting at once would both see an empty
// file and write their records onto one line.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"
#include "log_format.h"
#include "signals.h"

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

const char kLogMutexName[] = "Global\\TalvexUpdaterLogFile";

// The age reported for a text that is no timestamp: as old as can be, so
// callers treat it as stale (as they do a time later than now).
const unsigned long long kUnknownAge = ~0ULL;


unsigned long long FileTimeValue(const FILETIME &t)
{
    return ((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

bool WriteAll(HANDLE file, const char *data, size_t size)
{
    while (size > 0) {
        DWORD chunk = size > 0x10000 ? 0x10000 : (DWORD)size, written = 0;
        if (!WriteFile(file, data, chunk, &written, NULL) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

HANDLE OpenForReading(const char *path)
{
    if (!path || !path[0])
        return INVALID_HANDLE_VALUE;
    // Sharing deletion never holds off whoever may delete or rename the file.
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}

} // namespace

std::string ReadSmallFile(const char *path)
{
    std::string text;
    LARGE_INTEGER size = {};
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return text;
    if (GetFileSizeEx(file, &size) && size.QuadPart <= kConfigReadMax) {
        text.resize((size_t)size.QuadPart);
        DWORD read = 0;
        if (!ReadFile(file, text.data(), (DWORD)text.size(), &read, NULL))
            read = 0;
        text.resize(read);
    }
    CloseHandle(file);
    return text;
}

namespace {

// Copies the file at path to the end of out; a missing file copies nothing.
bool AppendFileTo(HANDLE out, const char *path)
{
    bool ok = true;
    char chunk[65536];
    DWORD read = 0;
    HANDLE file = OpenForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    while (ok && ReadFile(file, chunk, sizeof chunk, &read, NULL) && read > 0)
        ok = WriteAll(out, chunk, read);
    CloseHandle(file);
    return ok;
}

// Appends one record or continuation to the log under the log's lock.
void AppendToLog(const char *path, const char *message, bool newRecord, unsigned level, const char *timestamp)
{
    if (!MayWriteInDataFolder(path))
        return; // the record is lost rather than written through a planted link
    MachineLock lock(kLogMutexName);
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the
    // end of the file, whatever other writers did since it was opened.
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return; // the record is lost, as callers accept
    LARGE_INTEGER size = {};
    // When the size is unknown a stray line break beats two merged records.
    bool hasText = !GetFileSizeEx(file, &size) || size.QuadPart > 0;
    std::string text = newRecord ? NewLogRecord(level, timestamp, message, hasText) : CleanLogText(message);
    WriteAll(file, text.data(), text.size());
    CloseHandle(file);
}

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
    snprintf(message, sizeof message,
             "The pipe %s did not take a message within %lu ms: another program may hold it. Messages to it are "
             "dropped until it reads again.",
             stall->name, (unsigned long)kPipeWriteLimitMs);
    LogToFile(message, 1, 1);
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

} // namespace

int TALAPI GetTimestamp(char *buffer, unsigned size)
{
    int length = 0;
    if (buffer && size >= kTimestampLength + 1) {
        memset(buffer, 0, size);
        SYSTEMTIME now;
        GetLocalTime(&now);
        FormatTimestamp(now, buffer);
        length = (int)kTimestampLength;
    }
    return length;
}

int TALAPI LogToFile(const char *message, int newRecord, unsigned level)
{
    const char *path = Paths().logFile;
    char timestamp[32] = "";
    if (newRecord)
        GetTimestamp(timestamp, sizeof timestamp);
    // The record is built in memory; without memory it is lost, and the
    // caller goes on as after any failed write.
    if (path[0])
        NoThrowVoid([&] { AppendToLog(path, message, newRecord != 0, level, timestamp); });
    return 0;
}

int TALAPI Signal(const char *pipeName, const char *text)
{
    int sent = 0;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    ScopedHandle finished;
    OVERLAPPED write = {};
    DWORD length = 0, written = 0;
    PipeStall *stall = NULL;
    bool timedOut = false;
    // Only pipes: the name is opened for writing and must never reach a file.
    if (!IsPlainPipeName(pipeName) || !text)
        goto done;
    // No reader, or every instance busy: the message is dropped at once.
    // Whoever serves the pipe may identify the writer but never act as it
    // (the service writes too), and the writer asks only to write.
    pipe = CreateFileA(pipeName, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, 0, NULL, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, NULL);
    if (pipe == INVALID_HANDLE_VALUE)
        goto done;
    finished.reset(CreateEventA(NULL, TRUE, FALSE, NULL));
    if (!finished)
        goto done;
    write.hEvent = finished.get();
    // A reader takes one message in one read of its buffer; never more.
    length = (DWORD)strnlen(text, kPipeMaxMessage);
    if (!WriteFile(pipe, text, length, NULL, &write) && GetLastError() != ERROR_IO_PENDING)
        goto done;
    // A reader that neither reads nor closes would hold the writer for as
    // long as it likes: past the bound the message is dropped like one
    // that found no reader, and the write is cancelled before it is freed.
    stall = StallOf(pipeName);
    timedOut = WaitForSingleObject(finished.get(), WriteLimitFor(stall)) != WAIT_OBJECT_0;
    if (timedOut)
        CancelIoEx(pipe, &write);
    if (GetOverlappedResult(pipe, &write, &written, TRUE) && written == length)
        sent = 1;
    NoteWrite(stall, timedOut && !sent);
done:
    if (pipe != INVALID_HANDLE_VALUE)
        CloseHandle(pipe);
    return sent;
}

int TALAPI LogAndSignal(const char *message, int newRecord, unsigned level)
{
    LogToFile(message, newRecord, level);
    Signal(kConfigPipeName, kConfigMsgLogChanged);
    return 0;
}

unsigned long long TALAPI TimeElapsed(const char *timestamp)
{
    unsigned long long seconds = kUnknownAge;
    SYSTEMTIME then, now;
    FILETIME thenFile, nowFile;
    // Both are local times; no time-zone conversion on either side.
    if (!ParseTimestamp(timestamp, &then) || !SystemTimeToFileTime(&then, &thenFile))
        goto done;
    GetLocalTime(&now);
    if (!SystemTimeToFileTime(&now, &nowFile))
        goto done;
    // A time later than now wraps to a very large age, read as old.
    seconds = (FileTimeValue(nowFile) - FileTimeValue(thenFile)) / 10000000ULL;
done:
    return seconds;
}

// The support report: its head (the running updater, the configuration
// without the password), then the whole log. 1 when it was written whole.
static int WriteSupportReport(const char *configurationPath, const char *logPath, const char *reportPath)
{
    int result = 0;
    HANDLE report = INVALID_HANDLE_VALUE;
    const char *runningAs = NULL;
    std::string head;
    if (!reportPath || !reportPath[0])
        goto done;
    // The user-process updater's window wins even when the service exists.
    if (IsRunningProcess())
        runningAs = "Process";
    else if (IsRunningService())
        runningAs = "Service";
    head = SupportReportHead(runningAs, configurationPath, ReadSmallFile(configurationPath), logPath);
    report = CreateFileA(reportPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         NULL);
    if (report == INVALID_HANDLE_VALUE)
        goto done;
    if (!WriteAll(report, head.data(), head.size()) || !AppendFileTo(report, logPath))
        goto done;
    result = 1;
done:
    if (report != INVALID_HANDLE_VALUE)
        CloseHandle(report);
    return result;
}

int TALAPI MergeFiles(const char *configurationPath, const char *logPath, const char *reportPath)
{
    // The report head is built in memory: an allocation failure is a failed
    // report, never an exception out of the library.
    return NoThrow(0, [&] { return WriteSupportReport(configurationPath, logPath, reportPath); });
}
