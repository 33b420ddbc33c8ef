// MergeFiles: the support report, its head (the running updater, the
// configuration without the password) followed by the whole log.
#include "tallib.h"
#include "internal.h"
#include "log_format.h"
#include "no_throw.h"

#include <string>

namespace {

ScopedFile OpenForReading(const char *path)
{
    if (!path || !path[0])
        return ScopedFile();
    // Sharing deletion never holds off whoever may delete or rename the file.
    return ScopedFile(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
}

// Copies the file at path to the end of out; a missing file copies nothing.
bool AppendFileTo(HANDLE out, const char *path)
{
    ScopedFile file = OpenForReading(path);
    if (!file)
        return true;
    bool ok = true;
    char chunk[65536];
    DWORD read = 0;
    while (ok && ReadFile(file.get(), chunk, sizeof chunk, &read, NULL) && read > 0)
        ok = WriteAllBytes(out, chunk, read);
    return ok;
}

// 1 when the report was written whole.
int WriteSupportReport(const char *configurationPath, const char *logPath, const char *reportPath)
{
    if (!reportPath || !reportPath[0])
        return 0;
    // The user-process updater's window wins even when the service exists.
    const char *runningAs = NULL;
    if (IsRunningProcess())
        runningAs = "Process";
    else if (IsRunningService())
        runningAs = "Service";
    std::string head = SupportReportHead(runningAs, configurationPath, ReadSmallFile(configurationPath), logPath);
    ScopedFile report(CreateFileA(reportPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL));
    if (!report)
        return 0;
    return WriteAllBytes(report.get(), head.data(), head.size()) && AppendFileTo(report.get(), logPath) ? 1 : 0;
}

} // namespace

std::string ReadSmallFile(const char *path)
{
    std::string text;
    LARGE_INTEGER size = {};
    ScopedFile file = OpenForReading(path);
    if (file && GetFileSizeEx(file.get(), &size) && size.QuadPart <= kConfigReadMax) {
        text.resize((size_t)size.QuadPart);
        DWORD read = 0;
        if (!ReadFile(file.get(), text.data(), (DWORD)text.size(), &read, NULL))
            read = 0;
        text.resize(read);
    }
    return text;
}

int TALAPI MergeFiles(const char *configurationPath, const char *logPath, const char *reportPath)
{
    // The report head is built in memory: an allocation failure is a failed
    // report, never an exception out of the library.
    return NoThrow(0, [&] { return WriteSupportReport(configurationPath, logPath, reportPath); });
}
