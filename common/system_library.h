// System DLLs from the system's own folder only. A program started
// elevated from a folder its user may change (the installer's first stage,
// run from a download folder) would otherwise load a DLL of a system name
// put beside it: Windows looks in the program's folder first for every DLL
// that is not one of its known DLLs (KnownDLLs), whether the program
// imports it or loads it later, and so does every system DLL that loads
// another one on the program's behalf.
#pragma once

#include <windows.h>

// From here on, a DLL this process loads by name comes from the system
// folder only (SetDefaultDllDirectories, where the system has it; where
// not, at least the current folder is no longer searched). Call it first.
void LoadLibrariesFromSystemOnly();

// The system DLL `name` ("wintrust.dll") loaded by its full path in the
// system folder, the DLLs it needs looked for there first; NULL, with the
// last error set, when it cannot be loaded.
HMODULE LoadSystemLibrary(const char *name);
