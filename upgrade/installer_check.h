// What the upgrade assistant decides about a download, with no Windows call
// inside: the progress percentage, whether a body is whole, whether a file
// has the form of a Windows program, and what the window says of a refusal.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

// The signature rules the assistant's publisher check applies.
#include "signature_rules.h"

// The percentage shown for received bytes of total, truncated; -1 when none
// is shown (no total announced, or more received than announced).
int DownloadPercent(uint64_t received, uint64_t total);

// Why a finished download may not be started; kInstallerOk when it may.
enum InstallerVerdict {
    kInstallerOk = 0,
    kInstallerNotSaved,   // the file could not be created or written
    kInstallerBadStatus,  // the server did not answer 200
    kInstallerIncomplete, // fewer (or more) bytes than announced, or none
    kInstallerNotProgram, // not a Windows program
    kInstallerNetwork,    // the connection failed (TLS included)
    kInstallerNotSigned,  // no valid signature of the Talvex publisher
    kInstallerNotNewer,   // signed, but not newer than the installed version
};

// The verdict on a complete exchange, before the file's form is examined.
InstallerVerdict JudgeExchange(bool saved, unsigned status, uint64_t received, uint64_t total);

// What the window says of a download that may not be started, ending with
// the advice that nothing was installed. detail is the HTTP status for
// kInstallerBadStatus; errorText describes the Windows error of
// kInstallerNotSaved and kInstallerNetwork, and is the installer's version
// for kInstallerNotNewer.
std::string VerdictText(InstallerVerdict verdict, unsigned long detail, const char *errorText, uint64_t received,
                        uint64_t total);

// True when the first bytes of a file of fileSize bytes have the form of a
// Windows program: the DOS header, the PE signature it points to, an x86 or
// x64 image whose optional header and section table lie in the file and
// whose sections' data end within it. `head` holds the first headSize bytes.
bool LooksLikeWindowsProgram(const unsigned char *head, size_t headSize, uint64_t fileSize);

// The product version of a version resource's fixed part, as "a.b.c.d";
// empty when the file carries none.
std::string FixedVersionText(bool present, unsigned long versionMS, unsigned long versionLS);
