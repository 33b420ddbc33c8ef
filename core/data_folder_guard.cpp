// The one guard before TalLib writes into the data folder: the folder and
// the vendor folder above it must be the real ones (data_folder_check.h).
// Users may write in the data folder, and the configuration utility and
// the installer write there with administrator rights: a junction planted
// in place of the folder would carry those writes wherever it points.
#include "internal.h"

#include "data_folder_check.h"
#include "text_format.h"

#include <stdio.h>
#include <string.h>

bool MayWriteInDataFolder(const char *path)
{
    const char *folder = Paths().dataFolder;
    size_t length = strlen(folder);
    if (!path || length == 0 || _strnicmp(path, folder, length) != 0)
        return true; // not in the data folder
    const char *fault = DataFolderChainFault(folder);
    if (!fault)
        return true;
    // The log lies in the refused folder: the debugger's output says which
    // check failed, and the caller sees the refusal (a configuration writer
    // reports it in the Event Log).
    char why[MAX_PATH + 160];
    FormatText(why, sizeof why, "Talvex Updater: nothing is written in %s: %s.\n", folder, fault);
    OutputDebugStringA(why);
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
}
