// Configuration file access: every read and write, in every program, runs
// here under one machine-wide named mutex.
//
// Each private-profile write rewrites the whole file, so two processes
// writing at the same moment lose each other's keys; and a process may keep
// a cached copy of the file until its modification time changes. Holding
// the mutex around every access, and dropping the cache before a read,
// makes every write land and every read see the latest write.
#include "tallib.h"
#include "internal.h"

namespace {

// "Global\" so that the service (session 0, its own account) and the
// programs of the logged-on user share one object.
const char kConfigMutexName[] = "Global\\TalvexUpdaterConfigFile";

// Drops any cached copy so the next read comes from the file on disk.
void FlushProfileCache(const char *path)
{
    WritePrivateProfileStringA(NULL, NULL, NULL, path);
}

bool ValidPath(const char *path) { return path && path[0]; }

} // namespace

int TALAPI Profile_WriteText(const char *path, const char *section, const char *key, const char *value)
{
    // A null section would flush and a null key with a value is meaningless;
    // a null key or value deletes, as the profile API defines.
    if (!ValidPath(path) || !section)
        return 0;
    MachineLock lock(kConfigMutexName);
    return WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
}

int TALAPI Profile_ReadText(const char *path, const char *section, const char *key, const char *fallback,
                            char *buffer, int size)
{
    if (!buffer || size <= 0)
        return 0;
    buffer[0] = '\0';
    if (!ValidPath(path) || !section || !key) {
        lstrcpynA(buffer, fallback ? fallback : "", size);
        return lstrlenA(buffer);
    }
    MachineLock lock(kConfigMutexName);
    FlushProfileCache(path);
    return (int)GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer, (DWORD)size, path);
}

int TALAPI Profile_ReadInt(const char *path, const char *section, const char *key, int fallback)
{
    if (!ValidPath(path) || !section || !key)
        return fallback;
    MachineLock lock(kConfigMutexName);
    FlushProfileCache(path);
    return (int)GetPrivateProfileIntA(section, key, fallback, path);
}

int ConfigWrite(const char *section, const char *key, const char *value)
{
    return Profile_WriteText(Paths().configFile, section, key, value);
}

int ConfigReadText(const char *section, const char *key, const char *fallback, char *buffer, int size)
{
    return Profile_ReadText(Paths().configFile, section, key, fallback, buffer, size);
}

int ConfigReadInt(const char *section, const char *key, int fallback)
{
    return Profile_ReadInt(Paths().configFile, section, key, fallback);
}
