// The installer's use of a prepared configuration (prepared_config.h): the
// file is read once, without following a link and with nobody writing it
// meanwhile, and checked before anything is installed; the bytes checked
// are kept in the installer's own temporary folder, and those, never the
// file again, are written into the installed configuration through
// TalLib's own commit, under its machine-wide lock, as every program
// writes it.
#include "prepared_config.h"

#include "config_keys.h"
#include "data_folder_check.h"
#include "error_text.h"
#include "scoped.h"

#include <aclapi.h>

#include <windows.h>

#include <stdio.h>

namespace {

// No configuration the utility writes comes near this size.
const LONGLONG kPreparedReadMax = 4 << 20;

typedef int(__cdecl *BeginBatchFn)(const char *path);
typedef int(__cdecl *EndBatchFn)(void);
typedef int(__cdecl *WriteTextFn)(const char *path, const char *section, const char *key, const char *value);
typedef int(__cdecl *IniFileFn)(char *buffer, int size);

// Rights by which someone could change the file: write it, change its
// rights or owner, delete or rename it.
const ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | DELETE;

// The text read and checked; false after a line that says why.
bool Check(const std::string &path, const std::string &text, const std::string &readError, PreparedConfig &config)
{
    std::string error = readError;
    if (error.empty())
        error = ReadPreparedConfig(text, config);
    if (error.empty())
        return true;
    printf("The prepared configuration %s cannot be used: %s\n", path.c_str(), error.c_str());
    return false;
}

// A warning, for the details, when users may change the file (its rights
// let them, or it belongs to one of them): what the next installation
// reads from it may not be what its administrator prepared.
void WarnIfUsersMayChange(HANDLE file, const std::string &path)
{
    PSID owner = NULL; // owner and list point into the descriptor
    PACL dacl = NULL;
    ScopedLocal<PSECURITY_DESCRIPTOR> descriptor;
    DWORD error = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                  &owner, NULL, &dacl, NULL, descriptor.out());
    if (error != ERROR_SUCCESS)
        printf("Warning: who may change the prepared configuration %s cannot be read (Windows %s)\n", path.c_str(),
               DescribeError(error).c_str());
    else if (!OwnerIsTrusted(owner) || UntrustedMay(dacl, kChangeRights))
        printf("Warning: users may change the prepared configuration %s; keep it where only administrators may "
               "write\n",
               path.c_str());
}

} // namespace

std::string ReadPreparedFile(const std::string &path, std::string &error, bool warn)
{
    // The name itself, never what a link at it leads to; shared for
    // reading only, so that nobody writes the file while it is read.
    DWORD attributes = GetFileAttributesA(path.c_str());
    ScopedFile file;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)))
        file.reset(CreateFileA(path.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, NULL));
    BY_HANDLE_FILE_INFORMATION info = {};
    LARGE_INTEGER size = {};
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        error = "it is a link to another file";
        return "";
    }
    if (!file || !GetFileInformationByHandle(file.get(), &info) || !GetFileSizeEx(file.get(), &size)) {
        error = "it cannot be read (Windows " + DescribeError(GetLastError()) + ")";
        return "";
    }
    if ((info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) || info.nNumberOfLinks != 1) {
        error = "it is a link, or a second name of another file";
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
    if (warn)
        WarnIfUsersMayChange(file.get(), path);
    return text;
}

bool CheckPreparedConfig(const std::string &path, const std::string &checked)
{
    PreparedConfig config;
    std::string error, text = ReadPreparedFile(path, error);
    if (!Check(path, text, error, config))
        return false;
    // The bytes checked, for the step that applies them: a new file of the
    // installer's own folder.
    ScopedFile copy(CreateFileA(checked.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL));
    DWORD written = 0;
    if (!copy || (!text.empty() && (!WriteFile(copy.get(), text.data(), (DWORD)text.size(), &written, NULL) ||
                                    written != text.size()))) {
        printf("The prepared configuration could not be kept for the installation: Windows %s\n",
               DescribeError(GetLastError()).c_str());
        return false;
    }
    printf("The prepared configuration %s selects %u hosts.\n", path.c_str(), (unsigned)config.hosts.size());
    return true;
}

// One commit writes the account, the options and the host table; the
// earlier table's keys go first, so that no host of it stays selected.
bool ApplyPreparedConfig(const std::string &checked, const std::string &talLib)
{
    PreparedConfig config;
    // The installer's own copy: who may write it was said of the file it came from.
    std::string error, text = ReadPreparedFile(checked, error, false);
    if (!Check(checked, text, error, config))
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
    printf("The account and %u hosts of the prepared configuration were written into %s\n",
           (unsigned)config.hosts.size(), ini);
    return true;
}
