// The installer's first stage, setup.exe: a small signed program that
// carries the installer (the NSIS installer, setup-payload.exe) in its own
// image and runs it from a new folder only SYSTEM and Administrators may
// use (copy_folder.h).
//
// Started elevated from a folder its user may change (the assistant's
// download folder, his Downloads), the NSIS installer would read its own
// script by name: renamed and replaced after the consent prompt, that name
// gives another file's script administrator rights. And it would unpack
// its helper into the administrator's own %TEMP%, which his unelevated
// programs may change. So the first stage takes the installer from its
// mapped image, which nobody can change while it runs, writes it into the
// new folder and checks what it wrote against the publisher's signature,
// and gives the installer that folder as TEMP and TMP, so that everything
// it unpacks lies there too.
//
//   setup.exe [the installer's options] [/D=<folder>]
// The installer is started with the same command line and /OWNCOPY before
// /D=. Ends with the installer's exit code; 2 when it could not be run,
// after a message that says why (none with /S).
#include "copy_folder.h"
#include "first_stage_args.h"

#include "error_text.h"
#include "publisher_check.h"
#include "scoped.h"
#include "system_library.h"
#include "wide_text.h"

#include <windows.h>

#include <string>

namespace {

// The installer's own exit code for an installation that did not happen.
const int kNotRun = 2;
// The installer carried, as RCDATA (first_stage.rc.in).
const WORD kPayloadResource = 1;
const char kTitle[] = "Talvex Updater Setup";

bool Fail(std::string &why, const std::string &text) { return why = text, false; }

std::string WindowsError(DWORD error) { return "Windows " + DescribeError(error); }

bool OwnPath(std::wstring &path, std::string &why)
{
    path.assign(32768, L'\0');
    DWORD length = GetModuleFileNameW(NULL, &path[0], (DWORD)path.size());
    if (length == 0 || length >= path.size())
        return Fail(why, "The installer cannot find its own file: " + WindowsError(GetLastError()));
    path.resize(length);
    return true;
}

// Refuses a first stage whose own signature was taken off or broken. The
// file checked is the one under this program's name now, which need not
// be the image that runs (the name can be given to another file after the
// start); what guards against such a swap is the check of the installer
// written from the running image (WriteSignedCopy).
bool OwnFileSigned(const std::wstring &path, std::string &why)
{
    // Shares only reading: nobody changes or replaces the file during the check.
    ScopedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL));
    if (!file)
        return Fail(why, "The installer " + Narrow(path) + " cannot be read: " + WindowsError(GetLastError()));
    unsigned long unanswered = 0; // checked then without revocation, as the assistant does
    if (!SignedByPublisher(file.get(), path.c_str(), &unanswered))
        return Fail(why, "The installer " + Narrow(path) + " is not signed by the Talvex publisher");
    return true;
}

// The installer carried in this program's image. A resource is part of
// the mapped image: nothing to free.
bool Payload(const void *&bytes, size_t &size, std::string &why)
{
    HRSRC found = FindResourceA(NULL, MAKEINTRESOURCEA(kPayloadResource), RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(NULL, found) : NULL;
    bytes = loaded ? LockResource(loaded) : NULL;
    size = found ? SizeofResource(NULL, found) : 0;
    if (!bytes || size == 0)
        return Fail(why, "The installer it carries cannot be read: " + WindowsError(GetLastError()));
    return true;
}

// Starts the installer's copy with the first stage's command line and
// TEMP and TMP naming the copy's folder (NSIS makes $PLUGINSDIR, where it
// unpacks its helper and plug-ins, under the folder GetTempPath gives,
// which reads TMP, then TEMP), and waits for it to end.
bool RunCopy(const std::string &copy, const InstallerLine &line, DWORD &exitCode, std::string &why)
{
    std::string folder = FolderOf(copy);
    if (!SetEnvironmentVariableA("TEMP", folder.c_str()) || !SetEnvironmentVariableA("TMP", folder.c_str()))
        return Fail(why, "Could not give the installer its temporary folder: " + WindowsError(GetLastError()));
    std::wstring program = Wide(copy), command = OwnCopyCommandLine(program, line);
    STARTUPINFOW mine = {}, start = {};
    mine.cb = start.cb = sizeof start;
    GetStartupInfoW(&mine);
    if (mine.dwFlags & STARTF_USESHOWWINDOW) {
        start.dwFlags = STARTF_USESHOWWINDOW;
        start.wShowWindow = mine.wShowWindow;
    }
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), &command[0], NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL, &start,
                        &started))
        return Fail(why, "Could not start " + copy + ": " + WindowsError(GetLastError()));
    ScopedHandle process(started.hProcess), thread(started.hThread);
    // The installer's window may come to the front, as this program's
    // would: the user started it.
    AllowSetForegroundWindow(started.dwProcessId);
    if (ResumeThread(thread.get()) == (DWORD)-1) {
        DWORD error = GetLastError();
        TerminateProcess(process.get(), kNotRun);
        WaitForSingleObject(process.get(), INFINITE);
        return Fail(why, "Could not start " + copy + ": " + WindowsError(error));
    }
    // However long the user takes over an interactive installation: the
    // installer's end is the first stage's.
    WaitForSingleObject(process.get(), INFINITE);
    if (!GetExitCodeProcess(process.get(), &exitCode))
        return Fail(why, "The installer's result cannot be read: " + WindowsError(GetLastError()));
    return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Before anything loads a DLL on this program's behalf: the folder it
    // was started from may hold one of a system DLL's name.
    LoadLibrariesFromSystemOnly();
    InstallerLine line = ReadInstallerLine(GetCommandLineW());
    std::string why, folder, copy, left;
    const void *payload = NULL;
    size_t size = 0;
    DWORD exitCode = kNotRun;
    bool ran = false;
    std::wstring own;
    if (OwnPath(own, why) && OwnFileSigned(own, why) && Payload(payload, size, why) && MakeCopyFolder(folder, why)) {
        ran = WriteSignedCopy(folder, kCopyName, payload, size, "The installer carried by " + Narrow(own), copy, why) &&
              RunCopy(copy, line, exitCode, why);
        // Left, the folder does no harm (only Administrators may use it):
        // it is said, and the installer's result stays the result.
        if (!RemoveCopyFolder(folder, left))
            why += (why.empty() ? "" : "\n") + left;
    }
    if (!why.empty() && !line.silent) {
        std::string text = ran ? "The Talvex Updater installer has ended.\n\n" + left
                               : "The Talvex Updater installer could not be started: " + why;
        MessageBoxA(NULL, text.c_str(), kTitle, MB_OK | (ran ? MB_ICONWARNING : MB_ICONSTOP));
    }
    return ran ? (int)exitCode : kNotRun;
}
