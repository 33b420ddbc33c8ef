// Reading the log file into the Logs page's text incrementally.
#include "log_reader.h"

#include "scoped.h"

#include <windows.h>
#include <string.h>

#include <vector>

namespace {

// How much of the text already read is compared with the file to tell a
// file that only grew from one that was replaced.
const size_t kGrowthSample = 4096;

bool ReadAt(HANDLE file, unsigned long long offset, char *buffer, DWORD size)
{
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    DWORD got = 0;
    return SetFilePointerEx(file, at, NULL, FILE_BEGIN) && ReadFile(file, buffer, size, &got, NULL) && got == size;
}

// Reads [offset, offset + size) of the file into text's end.
bool ReadInto(HANDLE file, unsigned long long offset, size_t size, std::string &text)
{
    size_t old = text.size();
    text.resize(old + size);
    size_t done = 0;
    while (done < size) {
        DWORD chunk = (DWORD)((size - done) < (1u << 24) ? (size - done) : (1u << 24));
        if (!ReadAt(file, offset + done, &text[old + done], chunk)) {
            text.resize(old);
            return false;
        }
        done += chunk;
    }
    return true;
}

// Whether the file still begins with what was read and only grew.
bool OnlyGrew(HANDLE file, unsigned long long size, const std::string &read)
{
    if (read.empty() || size < read.size() || read.size() > kMaxLogBytes)
        return false;
    size_t sample = read.size() < kGrowthSample ? read.size() : kGrowthSample;
    std::vector<char> bytes(sample);
    if (!ReadAt(file, 0, bytes.data(), (DWORD)sample) || memcmp(bytes.data(), read.data(), sample) != 0)
        return false;
    size_t tail = read.size() - sample;
    return ReadAt(file, tail, bytes.data(), (DWORD)sample) && memcmp(bytes.data(), read.data() + tail, sample) == 0;
}

} // namespace

bool ReadLogFile(LogText &log, const char *path, bool mayAppend)
{
    ScopedFile file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        ResetLog(log);
        return false;
    }
    unsigned long long length = (unsigned long long)size.QuadPart;
    if (mayAppend && OnlyGrew(file.get(), length, log.text)) {
        std::string added;
        if (length > log.text.size() && ReadInto(file.get(), log.text.size(), length - log.text.size(), added))
            AppendLog(log, added.data(), added.size());
        return true;
    }
    ResetLog(log);
    unsigned long long start = length > kMaxLogBytes ? length - kMaxLogBytes : 0;
    std::string text;
    if (!ReadInto(file.get(), start, (size_t)(length - start), text))
        return false;
    size_t from = 0;
    if (start > 0) { // begin at the first whole line
        size_t newline = text.find('\n');
        from = newline == std::string::npos ? text.size() : newline + 1;
    }
    AppendLog(log, text.data() + from, text.size() - from);
    return false;
}
