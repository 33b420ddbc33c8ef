// Whether a folder of the data folder's chain is the real one an
// installation made: not a link to somewhere else, and owned by an account
// no ordinary user is. Elevated code checks this before it writes or
// deletes in the data folder, which users may write into (TalLib's writes,
// the installer and its uninstaller).
#pragma once

#include <windows.h>

// NULL when the folder is real: it exists, is no reparse point (a junction
// or symbolic link would lead the write elsewhere) and its owner is trusted
// (OwnerIsTrusted). Otherwise a short text that says why not, for a log
// record or a message.
const char *FolderFault(const char *folder);

// The same for the data folder (`dataFolder`, with or without its closing
// backslash) and the vendor folder above it: the first fault found, or NULL.
const char *DataFolderChainFault(const char *dataFolder);

// The owners that FolderFault accepts: SYSTEM, Administrators and
// TrustedInstaller, and whoever owns the system's own folder (System32),
// who can replace the system itself and so gains nothing by planting a
// folder (on Windows that is TrustedInstaller again). Never the account
// the program runs as: an administrator's account is also the unelevated
// half of his session, which any program he runs can use.
bool OwnerIsTrusted(PSID owner);

// Whether an entry of the DACL gives an account OwnerIsTrusted refuses any
// of `rights` (generic rights mapped as for files), on the object or on
// what it holds; the creator entries, which apply only to what their
// creator makes, excepted. A missing DACL gives everyone everything.
// With `administratorsOnly`, only SYSTEM, Administrators and
// TrustedInstaller are trusted, not the owner of the system's folder:
// where the signed-in account owns that too (as under Wine), a folder of
// his is still his.
bool UntrustedMay(PACL dacl, ACCESS_MASK rights, bool administratorsOnly = false);

// The same counting only the entries that apply to the object itself (not
// those it only passes on to what it holds): whether other accounts may do
// any of `rights` to a folder above another, such as delete or rename it.
bool UntrustedMayOnObject(PACL dacl, ACCESS_MASK rights);
