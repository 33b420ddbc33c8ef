// The updaters' own view of the configuration file: its path and the
// [App] keys they act on.
#include "update_cycle.h"

#include "config_keys.h"
#include "tallib.h"

#include <string.h>

// TalLib forms the path once per process; an empty path (a data folder too
// long) makes every profile call fail, as a missing file would.
void BuildEnginePaths(EngineState &engine)
{
    if (GetFile_INIFile(engine.iniPath, sizeof engine.iniPath) != 0)
        engine.iniPath[0] = '\0';
}

void LoadEngineSettings(EngineState &engine)
{
    engine.status = Profile_ReadInt(engine.iniPath, kSectionApp, kKeyStatus, kStatusGood);
    LoadEngineAccount(engine);
}

bool LoadEngineAccount(EngineState &engine)
{
    const char *ini = engine.iniPath;
    char userName[sizeof engine.userName], password[sizeof engine.password];
    lstrcpynA(userName, engine.userName, sizeof userName);
    lstrcpynA(password, engine.password, sizeof password);
    engine.loadIcon = Profile_ReadInt(ini, kSectionApp, kKeyLoadIcon, 0);
    engine.fresh = Profile_ReadInt(ini, kSectionApp, kKeyFresh, 0);
    Profile_ReadText(ini, kSectionApp, kKeyUserName, "", engine.userName, sizeof engine.userName);

    Account_GetPassword(engine.password, sizeof engine.password);
    bool changed = strcmp(userName, engine.userName) != 0 || strcmp(password, engine.password) != 0;
    return changed;
}
