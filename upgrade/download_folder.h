// The folder each installer download is saved in: made for that download
// under the user's own temporary folder, writable only by the signed-in
// user, Administrators and SYSTEM from the moment it exists, so nobody else
// can put a library beside the installer that will run elevated; removed
// with the installer when it has ended or was refused.
#pragma once

#include "scoped.h"

#include <windows.h>

struct DownloadFolder {
    char path[MAX_PATH] = "";      // empty while there is none
    char installer[MAX_PATH] = ""; // setup.exe in it
    ScopedFile held;               // the folder, held so that nobody renames or replaces it
};

// Makes a new download folder. False, with *error set, when none could be
// made; the folder is then empty.
bool MakeDownloadFolder(DownloadFolder &folder, DWORD *error);

// Deletes the installer and the folder, once the installer is not running;
// a folder still in use is left for the next start (RemoveLeftoverFolders).
void RemoveDownloadFolder(DownloadFolder &folder);

// Removes the download folders earlier runs had to leave behind (the
// installer still ran when they ended).
void RemoveLeftoverFolders();
