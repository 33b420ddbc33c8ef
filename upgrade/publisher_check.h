// Whether a downloaded installer is signed by the Talvex publisher.
#pragma once

#include <windows.h>

// True when the file (open for reading; `path` names it) carries an
// Authenticode signature that the system verifies and whose signer's
// public key is one the assistant was built to trust (TALVEX_PUBLISHER_KEYS).
bool SignedByPublisher(HANDLE file, const char *path);
