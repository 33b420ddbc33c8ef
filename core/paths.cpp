// Folder and file paths of the suite, computed once per process.
#include "tallib.h"
#include "internal.h"
#include "config_keys.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

namespace {

TalPaths g_paths;
INIT_ONCE g_pathsOnce = INIT_ONCE_STATIC_INIT;

// Builds folder + file name; an over-long result leaves the path empty so
// that nothing ever opens a cut path.
void JoinPath(char *out, const char *folder, const char *file)
{
    out[0] = '\0';
    if (strlen(folder) + strlen(file) < MAX_PATH) {
        strcpy(out, folder);
        strcat(out, file);
    }
}

BOOL CALLBACK ComputePaths(PINIT_ONCE, PVOID, PVOID *)
{
    TalPaths &p = g_paths;
    // Formed lazily on first use rather than in DllMain: the shell's folder
    // lookup is not safe under the loader lock.
    if (SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, p.dataFolder)) &&
        PathAppendA(p.dataFolder, kDataFolderVendor) && PathAppendA(p.dataFolder, kDataFolderProduct) &&
        PathAddBackslashA(p.dataFolder)) {
        JoinPath(p.configFile, p.dataFolder, kConfigFileName);
        JoinPath(p.logFile, p.dataFolder, kLogFileName);
        JoinPath(p.lockFile, p.dataFolder, kLockFileName);
    } else {
        p.dataFolder[0] = '\0';
    }

    DWORD n = GetModuleFileNameA(NULL, p.exeFolder, MAX_PATH);
    if (n > 0 && n < MAX_PATH && PathRemoveFileSpecA(p.exeFolder) && PathAddBackslashA(p.exeFolder)) {
        JoinPath(p.trayExe, p.exeFolder, "TalTray.exe");
        JoinPath(p.processUpdaterExe, p.exeFolder, "TalUpPs.exe");
        JoinPath(p.configExe, p.exeFolder, "TalUpConfig.exe");
        JoinPath(p.controlExe, p.exeFolder, "TalUpControl.exe");
        JoinPath(p.upgradeExe, p.exeFolder, "TalUpUp.exe");
    } else {
        p.exeFolder[0] = '\0';
    }
    return TRUE;
}

int CopyPath(char *buffer, int size, const char *path)
{
    if (!path[0]) { // the path could not be formed
        CopyWhole(buffer, size, "");
        return 1;
    }
    return CopyWhole(buffer, size, path) ? 0 : 1;
}

} // namespace

const TalPaths &Paths()
{
    InitOnceExecuteOnce(&g_pathsOnce, ComputePaths, NULL, NULL);
    return g_paths;
}

bool CopyWhole(char *buffer, int size, const char *text)
{
    if (!buffer || size <= 0)
        return false;
    size_t len = text ? strlen(text) : 0;
    if (len + 1 > (size_t)size) {
        buffer[0] = '\0';
        return false;
    }
    memcpy(buffer, text ? text : "", len + 1);
    return true;
}

int TALAPI GetFolder_Data(char *buffer, int size) { return CopyPath(buffer, size, Paths().dataFolder); }
int TALAPI GetFolder_EXEDir(char *buffer, int size) { return CopyPath(buffer, size, Paths().exeFolder); }
int TALAPI GetFile_INIFile(char *buffer, int size) { return CopyPath(buffer, size, Paths().configFile); }
