// Whether a folder of the data folder's chain is the real one an
// installation made: not a link to somewhere else, and owned by an account
// no ordinary user is. Elevated code checks this before it writes or
// deletes in the data folder, which users may write into (TalLib's writes,
// the installer and its uninstaller).
#pragma once

#include <windows.h>

// NULL when the folder is real: it exists, is no reparse point (a junction
// or symbolic link would lead the write elsewhere) and is owned by SYSTEM,
// Administrators or the account this program runs as (who needs no link to
// write where the account may write). Otherwise a short text that says why
// not, for a log record or a message.
const char *FolderFault(const char *folder);

// The same for the data folder (`dataFolder`, with or without its closing
// backslash) and the vendor folder above it: the first fault found, or NULL.
const char *DataFolderChainFault(const char *dataFolder);

// The owner that FolderFault accepts.
bool OwnerIsTrusted(PSID owner);
