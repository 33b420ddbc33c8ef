// Whether an installer is signed by the Talvex publisher: the upgrade
// assistant's check of a download, and the check the installer's first
// stage and its helper make of the installer's copy.
#pragma once

#include <windows.h>

// True when the file (open for reading; `path` names it) carries an
// Authenticode signature that the system verifies and whose signer's
// public key is one the build pins (TALVEX_PUBLISHER_KEYS).
// *unansweredRevocation is the system's answer when this machine could
// not learn whether a certificate was revoked and the check was made
// without it (for the caller's log); 0 otherwise.
// Windows is told the file's name (`path`) but reads it through the handle.
bool SignedByPublisher(HANDLE file, const char *path, unsigned long *unansweredRevocation);
bool SignedByPublisher(HANDLE file, const wchar_t *path, unsigned long *unansweredRevocation);
