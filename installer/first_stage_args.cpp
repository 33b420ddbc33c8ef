// The installer's command line, read as the installer reads its own
// (first_stage_args.h).
#include "first_stage_args.h"

#include <wchar.h>

namespace {

std::wstring Trimmed(const wchar_t *begin, const wchar_t *end)
{
    while (begin < end && *begin == L' ')
        ++begin;
    while (end > begin && end[-1] == L' ')
        --end;
    return std::wstring(begin, end);
}

} // namespace

InstallerLine ReadInstallerLine(const wchar_t *commandLine)
{
    InstallerLine line;
    const wchar_t *p = commandLine;
    // The program's name: up to its closing quote, or to the first space.
    wchar_t end = L' ';
    if (*p == L'"') {
        end = L'"';
        ++p;
    }
    while (*p && *p != end)
        ++p;
    if (*p)
        ++p;
    const wchar_t *options = p, *optionsEnd = nullptr;
    while (*p) {
        while (*p == L' ')
            ++p;
        wchar_t seek = L' ';
        if (*p == L'"') {
            seek = L'"';
            ++p;
        }
        if (*p == L'/') {
            ++p;
            // Case and spacing exactly as the installer takes them: "/s"
            // and "/SILENT" are no silent run, and a quoted "/D=..." is no
            // folder.
            if (p[0] == L'S' && (p[1] == L' ' || p[1] == L'\0'))
                line.silent = true;
            if (p - commandLine >= 2 && wcsncmp(p - 2, L" /D=", 4) == 0) {
                // The space before it may be the one after the program's name.
                optionsEnd = p - 2 < options ? options : p - 2;
                line.folder = p + 2;
                line.hasFolder = true;
                break;
            }
        }
        while (*p && *p != seek)
            ++p;
        if (*p == L'"')
            ++p;
    }
    line.options = Trimmed(options, optionsEnd ? optionsEnd : options + wcslen(options));
    return line;
}

std::wstring OwnCopyCommandLine(const std::wstring &program, const InstallerLine &line)
{
    std::wstring command = L"\"" + program + L"\"";
    if (!line.options.empty())
        command += L" " + line.options;
    command += L" /OWNCOPY";
    if (line.hasFolder)
        command += L" /D=" + line.folder;
    return command;
}
