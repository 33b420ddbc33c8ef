// The shared log file: its records and their timestamps.
//
// Every program appends to the log at once. Each write is one
// open-append-close under the log's lock (machine_lock.cpp): whether a record needs a
// leading line break depends on whether the file already holds text, and
// without the lock two processes starting at once would both see an empty
// file and write their records onto one line.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"
#include "log_format.h"

#include <string.h>

#include <string>

namespace {

// The age reported for a text that is no timestamp: as old as can be, so
// callers treat it as stale (as they do a time later than now).
const unsigned long long kUnknownAge = ~0ULL;

unsigned long long FileTimeValue(const FILETIME &t)
{
    return ((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime;
}

// Appends one record or continuation to the log under the log's lock.
// The log is opened as the configuration is (OpenPlainDataFile): a link or
// a second name at its name would carry the records, written by the
// service and the elevated utility, into a file a user chose. A missing
// log is not made here: the installer makes it, owned by Administrators,
// with the data folder's rights; one made by a program would belong to
// whoever ran it first, who could then replace it.
void AppendToLog(const char *path, const char *message, bool newRecord, unsigned level, const char *timestamp)
{
    MachineLock lock(SharedLock::Log);
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the
    // end of the file, whatever other writers did since it was opened.
    ScopedFile file;
    if (OpenPlainDataFile(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                          OPEN_EXISTING, file) != ERROR_SUCCESS)
        return; // the record is lost, as callers accept
    LARGE_INTEGER size = {};
    // When the size is unknown a stray line break beats two merged records.
    bool hasText = !GetFileSizeEx(file.get(), &size) || size.QuadPart > 0;
    std::string text = newRecord ? NewLogRecord(level, timestamp, message, hasText) : CleanLogText(message);
    WriteAllBytes(file.get(), text.data(), text.size());
}

// Empties the log in place under the log's lock: the file stays itself,
// with its owner and rights, so nobody gets the chance to make it anew.
DWORD EmptyLog(const char *path)
{
    MachineLock lock(SharedLock::Log);
    ScopedFile file;
    // No GENERIC_WRITE: users hold no right to change the attributes.
    DWORD error = OpenPlainDataFile(path, FILE_WRITE_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, file);
    if (error == ERROR_SUCCESS && (!SetEndOfFile(file.get()) || !FlushFileBuffers(file.get())))
        error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
    return error;
}

} // namespace

bool WriteAllBytes(HANDLE file, const char *data, size_t size)
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

int TALAPI Log_Clear(void)
{
    const char *path = Paths().logFile;
    DWORD error = path[0] ? EmptyLog(path) : ERROR_PATH_NOT_FOUND;
    SetLastError(error);
    return error == ERROR_SUCCESS ? 1 : 0;
}

unsigned long long TALAPI TimeElapsed(const char *timestamp)
{
    SYSTEMTIME then, now;
    FILETIME thenFile, nowFile;
    // Both are local times; no time-zone conversion on either side.
    if (!ParseTimestamp(timestamp, &then) || !SystemTimeToFileTime(&then, &thenFile))
        return kUnknownAge;
    GetLocalTime(&now);
    if (!SystemTimeToFileTime(&now, &nowFile))
        return kUnknownAge;
    // A time later than now wraps to a very large age, read as old.
    return (FileTimeValue(nowFile) - FileTimeValue(thenFile)) / 10000000ULL;
}
