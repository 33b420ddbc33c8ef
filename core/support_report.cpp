// MergeFiles: the support report, its head (the running updater, the
// configuration without the password) followed by the whole log.
#include "tallib.h"
#include "internal.h"
#include "log_format.h"
#include "no_throw.h"

#include <string.h>

#include <string>

namespace {

// Removes the file of the handle, which was opened for deletion.
bool DeleteByHandle(HANDLE file)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

// Makes the report new at `path`. The configuration utility writes it
// elevated, to a path a user may have prepared: a link or a second name
// there, or a junction on the way, would put an administrator's file with
// partly user-written content wherever it leads. So the file is created
// new (CREATE_NEW never opens what is there) and checked by the final path
// of its handle; a file already there, which the save dialog asked to
// replace, is removed first by its own name (a link itself, never what it
// leads to), after the same check; one with a second name is refused.
// ERROR_SUCCESS with `report` open, or the Windows error
// (ERROR_ACCESS_DENIED when the path leads elsewhere).
DWORD CreateReport(const char *path, ScopedFile &report)
{
    std::string intended = IntendedPath(path);
    if (intended.empty())
        return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_BAD_PATHNAME;
    for (int attempt = 0;; ++attempt) {
        report.reset(CreateFileA(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, NULL, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, NULL));
        if (report) {
            if (IsAt(report.get(), intended))
                return ERROR_SUCCESS;
            DeleteByHandle(report.get());
            report.reset();
            return ERROR_ACCESS_DENIED;
        }
        DWORD error = GetLastError();
        if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt > 0)
            return error;
        ScopedFile old(CreateFileA(path, DELETE | FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                                   FILE_FLAG_OPEN_REPARSE_POINT, NULL));
        if (!old)
            return GetLastError();
        // Only a file (or a link, opened as itself) with one name at the
        // intended path is removed: a second name, whose final path may be
        // the other one, a folder, and a name reached through a junction
        // are refused.
        BY_HANDLE_FILE_INFORMATION info = {};
        if (!GetFileInformationByHandle(old.get(), &info) || info.nNumberOfLinks > 1 ||
            (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsAt(old.get(), intended))
            return ERROR_ACCESS_DENIED;
        if (!DeleteByHandle(old.get()))
            return GetLastError();
    }
}

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
    ScopedFile report;
    if (DWORD error = CreateReport(reportPath, report)) {
        SetLastError(error);
        return 0;
    }
    if (WriteAllBytes(report.get(), head.data(), head.size()) && AppendFileTo(report.get(), logPath))
        return 1;
    // A report cut short is not left behind as if it were whole.
    DWORD error = GetLastError();
    DeleteByHandle(report.get());
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return 0;
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
