// The installer's use of a prepared configuration (prepared_config.h): the
// file read and checked before anything is installed, then written into
// the installed configuration through TalLib's own commit, under its
// machine-wide lock, as every program writes it.
#include "prepared_config.h"

#include "config_keys.h"
#include "error_text.h"
#include "scoped.h"

#include <windows.h>

#include <stdio.h>

namespace {

// No configuration the utility writes comes near this size.
const LONGLONG kPreparedReadMax = 4 << 20;

typedef int(__cdecl *BeginBatchFn)(const char *path);
typedef int(__cdecl *EndBatchFn)(void);
typedef int(__cdecl *WriteTextFn)(const char *path, const char *section, const char *key, const char *value);
typedef int(__cdecl *IniFileFn)(char *buffer, int size);

// The file read and checked; false after a line that says why.
bool Load(const std::string &path, PreparedConfig &config)
{
    std::string error;
    std::string text = ReadPreparedFile(path, error);
    if (error.empty())
        error = ReadPreparedConfig(text, config);
    if (error.empty())
        return true;
    printf("The prepared configuration %s cannot be used: %s\n", path.c_str(), error.c_str());
    return false;
}

} // namespace

std::string ReadPreparedFile(const std::string &path, std::string &error)
{
    ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        error = "it cannot be read (Windows " + DescribeError(GetLastError()) + ")";
        return "";
    }
    if (size.QuadPart > kPreparedReadMax) {
        error = "it is far larger than any configuration";
        return "";
    }
    std::string text((size_t)size.QuadPart, '\0');
    DWORD got = 0;
    if (!text.empty() && (!ReadFile(file.get(), &text[0], (DWORD)text.size(), &got, NULL) || got != text.size())) {
        error = "it cannot be read (Windows " + DescribeError(GetLastError()) + ")";
        return "";
    }
    return text;
}

bool CheckPreparedConfig(const std::string &path)
{
    PreparedConfig config;
    if (!Load(path, config))
        return false;
    printf("The prepared configuration %s selects %u hosts.\n", path.c_str(), (unsigned)config.hosts.size());
    return true;
}

// One commit writes the account, the options and the host table; the
// earlier table's keys go first, so that no host of it stays selected.
bool ApplyPreparedConfig(const std::string &path, const std::string &talLib)
{
    PreparedConfig config;
    if (!Load(path, config))
        return false;
    ScopedLibrary lib(LoadLibraryExA(talLib.c_str(), NULL, LOAD_WITH_ALTERED_SEARCH_PATH));
    auto begin = lib ? (BeginBatchFn)(void *)GetProcAddress(lib.get(), "Profile_BeginBatch") : nullptr;
    auto end = lib ? (EndBatchFn)(void *)GetProcAddress(lib.get(), "Profile_EndBatch") : nullptr;
    auto write = lib ? (WriteTextFn)(void *)GetProcAddress(lib.get(), "Profile_WriteText") : nullptr;
    auto iniFile = lib ? (IniFileFn)(void *)GetProcAddress(lib.get(), "GetFile_INIFile") : nullptr;
    if (!begin || !end || !write || !iniFile) {
        printf("%s could not be loaded (Windows %s)\n", talLib.c_str(), DescribeError(GetLastError()).c_str());
        return false;
    }
    char ini[MAX_PATH] = "";
    if (iniFile(ini, sizeof ini) != 0 || !begin(ini)) {
        printf("The configuration file could not be opened for writing\n");
        return false;
    }
    for (const auto &pair : config.app)
        write(ini, kSectionApp, pair.first.c_str(), pair.second.c_str());
    write(ini, kSectionHosts, NULL, NULL);
    write(ini, kSectionHosts, kKeyHostCount, std::to_string(config.hosts.size()).c_str());
    for (size_t i = 0; i < config.hosts.size(); ++i)
        write(ini, kSectionHosts, (kKeyHostPrefix + std::to_string(i + 1)).c_str(), config.hosts[i].c_str());
    if (!end()) {
        printf("The prepared configuration could not be written into %s\n", ini);
        return false;
    }
    printf("The account and %u hosts of %s were written into %s\n", (unsigned)config.hosts.size(), path.c_str(), ini);
    return true;
}
