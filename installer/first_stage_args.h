// The installer's command line as the installer (NSIS) reads its own, so
// that the first stage gives its copy the same line (first_stage_args.cpp):
// an option begins after a space, "/S" alone asks for a silent run, and
// " /D=" begins the last argument, the folder, which runs to the end of
// the line without quotes. Pure text: no Windows call.
#pragma once

#include <string>

struct InstallerLine {
    std::wstring options;   // after the program's name, up to /D=, spaces around them taken off
    std::wstring folder;    // after /D=, as given
    bool hasFolder = false;
    bool silent = false;
};

InstallerLine ReadInstallerLine(const wchar_t *commandLine);

// The command line that starts the installer `program` as its own copy:
// its name quoted, the options, /OWNCOPY, then /D= and the folder last.
std::wstring OwnCopyCommandLine(const std::wstring &program, const InstallerLine &line);
