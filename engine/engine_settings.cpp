// The updaters' own view of the configuration file: its path and the
// [App] keys they act on.
#include "update_cycle.h"

#include "tallib.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <string.h>

namespace {

// The key the password is scrambled with, shared with the configuration utility.
const char kPasswordKey[] = "Hq7vNe2W";

} // namespace

void BuildEnginePaths(EngineState &engine)
{
    char path[MAX_PATH] = "";
    engine.iniPath[0] = '\0';
    if (SUCCEEDED(SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, path)) &&
        PathAppendA(path, "Talvex") && PathAppendA(path, "Updater") && PathAddBackslashA(path) &&
        strlen(path) + strlen("config.talvex") < MAX_PATH) {
        strcpy(engine.iniPath, path);
        strcat(engine.iniPath, "config.talvex");
    }
}

void LoadEngineSettings(EngineState &engine)
{
    const char *ini = engine.iniPath;
    engine.loadIcon = Profile_ReadInt(ini, "App", "LoadIcon", 0);
    engine.status = Profile_ReadInt(ini, "App", "Status", 0);
    engine.fresh = Profile_ReadInt(ini, "App", "Fresh", 0);
    Profile_ReadText(ini, "App", "UserName", "", engine.userName, sizeof engine.userName);

    char scrambled[256] = "";
    int n = Profile_ReadText(ini, "App", "Password", "", scrambled, sizeof scrambled);
    char plain[sizeof scrambled / 2 + 10];
    SimpleDecrypt(scrambled, (size_t)n, kPasswordKey, strnlen(kPasswordKey, 16), plain);
    lstrcpynA(engine.password, plain, sizeof engine.password);
}

void TrimWorkingSet()
{
    SetProcessWorkingSetSize(GetCurrentProcess(), (SIZE_T)-1, (SIZE_T)-1);
}
