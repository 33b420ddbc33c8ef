// Starting a program of the signed-in user from an elevated program: the
// one way, shared by TalLib (Execute_AsUser and the starts it makes for
// an elevated caller) and the installer's helper.
#pragma once

#include <string>

// Whether this process runs with administrator rights: an elevated token,
// or an administrator's full token where the system splits none. A
// program it started itself would inherit those rights.
bool ProcessIsElevated();

// Asks the desktop's shell, which runs unelevated as the signed-in user,
// to start the program with the parameters (may be NULL) and show state,
// as if the user had opened it; its working folder is the shell's, never
// the program's own folder. False, with `why` saying which step failed and
// the Windows error, when the shell could not be reached or refused: the
// program is then not started at all.
bool StartThroughDesktopShell(const char *program, const char *parameters, int show, std::string &why);
