// Configuration file access: every read and write, in every program, runs
// here under one machine-wide named mutex.
//
// Each private-profile write rewrites the whole file, so two processes
// writing at the same moment lose each other's keys; and a process may keep
// a cached copy of the file. Holding the mutex around every access, and
// dropping the cache before a read when the file changed on disk since this
// process last looked, makes every write land and every read see the latest
// write, without re-reading an unchanged file on every call.
#include "tallib.h"
#include "internal.h"

namespace {

// "Global\" so that the service (session 0, its own account) and the
// programs of the logged-on user share one object.
const char kConfigMutexName[] = "Global\\TalvexUpdaterConfigFile";

// What this process last saw of the configuration file on disk. Read and
// written only under the machine-wide mutex.
struct SeenFile {
    char path[MAX_PATH];
    FILETIME written;
    DWORD size;
};

SeenFile g_seen;

bool Stat(const char *path, FILETIME *written, DWORD *size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data))
        return false;
    *written = data.ftLastWriteTime;
    *size = data.nFileSizeLow;
    return true;
}

void RememberFile(const char *path)
{
    if (!Stat(path, &g_seen.written, &g_seen.size) || lstrlenA(path) >= MAX_PATH)
        g_seen.path[0] = '\0';
    else
        lstrcpyA(g_seen.path, path);
}

// Drops any cached copy when the file changed since this process last
// wrote or read it, so the next read comes from the file on disk.
void FlushIfChanged(const char *path)
{
    FILETIME written;
    DWORD size = 0;
    bool known = Stat(path, &written, &size) && lstrcmpiA(g_seen.path, path) == 0 &&
                 CompareFileTime(&written, &g_seen.written) == 0 && size == g_seen.size;
    if (!known) {
        WritePrivateProfileStringA(NULL, NULL, NULL, path);
        RememberFile(path);
    }
}

bool ValidPath(const char *path) { return path && path[0]; }

} // namespace

int TALAPI Profile_WriteText(const char *path, const char *section, const char *key, const char *value)
{
    // A null section would flush and a null key with a value is meaningless;
    // a null key or value deletes, as the profile API defines.
    if (!ValidPath(path) || !section)
        return 0;
    if (!MayWriteInDataFolder(path))
        return 0;
    MachineLock lock(kConfigMutexName);
    FlushIfChanged(path); // a stale cached copy would be written back whole
    int written = WritePrivateProfileStringA(section, key, value, path) ? 1 : 0;
    RememberFile(path);
    return written;
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
    FlushIfChanged(path);
    return (int)GetPrivateProfileStringA(section, key, fallback ? fallback : "", buffer, (DWORD)size, path);
}

int TALAPI Profile_ReadInt(const char *path, const char *section, const char *key, int fallback)
{
    if (!ValidPath(path) || !section || !key)
        return fallback;
    MachineLock lock(kConfigMutexName);
    FlushIfChanged(path);
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
