// InstallProbe: what an installation left behind, for shell scripts.
//   InstallProbe service          absent | stopped | running | starting | stopping | other
//   InstallProbe version <file>   the file's product version ("none" without one)
//   InstallProbe window <class>   yes | no (message-only windows included)
//   InstallProbe hold <file> <s>  keeps the program file loaded for s seconds,
//                                 as a program slow to end would
//   InstallProbe open <path> <s>  keeps the file or folder open for s seconds,
//                                 shared for reading and writing but not for
//                                 deletion, as any user may hold one he can read
//   InstallProbe lock <file> <s>  keeps the file open for s seconds, shared
//                                 for reading only, as a scanner may
//   InstallProbe free <path>      exits 0 once no handle keeps the file or
//                                 folder from being deleted (a holder's
//                                 handles go a moment after its process)
//   InstallProbe rights           the service's account, identity type and
//                                 required privileges, one per line
//   InstallProbe folder <path>    "as-shared" when the folder's rights are
//                                 the data folder's, "not kept" where the
//                                 system keeps no rights on files (Wine
//                                 here), else its DACL in SDDL
//   InstallProbe dacl <path>      the folder's DACL in SDDL, as the system
//                                 reads it back
//   InstallProbe owner <path>     the owner's SID
//   InstallProbe legacy           makes the service what older installations
//                                 left: LocalSystem, no identity, no list
//   InstallProbe legacy-interactive  the same, allowed to interact with the
//                                 desktop, which only LocalSystem may be:
//                                 the system refuses it another account
//   InstallProbe description      the service's description ("none" without one)
//   InstallProbe message <file> <id>  the Event Log message of that identifier
//                                 in the file's message table, its inserts
//                                 left as they are ("none" without one)
//   InstallProbe run <command line>  starts that command line as it is (as the
//                                 list of installed programs runs an entry:
//                                 no quoting added) and ends with its exit
//                                 code, once it has ended (3 after 120 s)
//   InstallProbe running <prefix> the program of every process whose program's
//                                 path begins so, one a line; exits 1 for none
#include "shared_objects.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winsvc.h>
#include <tlhelp32.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

namespace {

const char *ServiceState()
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    SC_HANDLE service = manager ? OpenServiceA(manager, "Talvex Updater", SERVICE_QUERY_STATUS) : NULL;
    const char *state = "absent";
    SERVICE_STATUS status = {};
    if (service && QueryServiceStatus(service, &status)) {
        switch (status.dwCurrentState) {
        case SERVICE_STOPPED: state = "stopped"; break;
        case SERVICE_RUNNING: state = "running"; break;
        case SERVICE_START_PENDING: state = "starting"; break;
        case SERVICE_STOP_PENDING: state = "stopping"; break;
        default: state = "other"; break;
        }
    }
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return state;
}

void PrintVersion(const char *file)
{
    DWORD ignored = 0, size = GetFileVersionInfoSizeA(file, &ignored);
    std::vector<char> info(size ? size : 1);
    char *text = NULL;
    UINT length = 0;
    if (size && GetFileVersionInfoA(file, 0, size, info.data()) &&
        VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\ProductVersion", (void **)&text, &length) &&
        length > 0)
        printf("%s\n", text);
    else
        printf("none\n");
}

SC_HANDLE OpenUpdaterService(DWORD rights, SC_HANDLE &manager)
{
    manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT);
    return manager ? OpenServiceA(manager, "Talvex Updater", rights) : NULL;
}

void CloseUpdaterService(SC_HANDLE service, SC_HANDLE manager)
{
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
}

// Account, identity type and the required privileges as text.
int PrintRights()
{
    SC_HANDLE manager = NULL, service = OpenUpdaterService(SERVICE_QUERY_CONFIG, manager);
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    int result = 1;
    if (service && QueryServiceConfigA(service, (QUERY_SERVICE_CONFIGA *)buffer.data(), (DWORD)buffer.size(), &needed)) {
        const char *account = ((QUERY_SERVICE_CONFIGA *)buffer.data())->lpServiceStartName;
        printf("account %s\n", account ? account : "");
        // Wine 8 keeps neither of these two: it refuses both levels.
        SERVICE_SID_INFO sid = {};
        if (QueryServiceConfig2A(service, SERVICE_CONFIG_SERVICE_SID_INFO, (BYTE *)&sid, sizeof sid, &needed))
            printf("sid-type %lu\n", (unsigned long)sid.dwServiceSidType);
        else
            printf("sid-type not kept\n");
        if (QueryServiceConfig2A(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, buffer.data(), (DWORD)buffer.size(),
                                 &needed)) {
            const char *list = ((SERVICE_REQUIRED_PRIVILEGES_INFOA *)buffer.data())->pmszRequiredPrivileges;
            printf("privileges");
            for (const char *p = list; p && *p; p += strlen(p) + 1)
                printf(" %s", p);
            printf("\n");
        } else {
            printf("privileges not kept\n");
        }
        result = 0;
    }
    CloseUpdaterService(service, manager);
    return result;
}

// What installations before the service's own account left behind.
int MakeLegacyService(bool interactive)
{
    SC_HANDLE manager = NULL, service = OpenUpdaterService(SERVICE_CHANGE_CONFIG, manager);
    DWORD type = SERVICE_WIN32_OWN_PROCESS | (interactive ? SERVICE_INTERACTIVE_PROCESS : 0);
    bool ok = service && ChangeServiceConfigA(service, type, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, NULL, NULL, NULL,
                                              NULL, "LocalSystem", "", NULL);
    // Where the system keeps them at all.
    SERVICE_SID_INFO none = {SERVICE_SID_TYPE_NONE};
    char empty[2] = {0, 0};
    SERVICE_REQUIRED_PRIVILEGES_INFOA noList = {empty};
    if (ok) {
        ChangeServiceConfig2A(service, SERVICE_CONFIG_SERVICE_SID_INFO, &none);
        ChangeServiceConfig2A(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &noList);
    }
    CloseUpdaterService(service, manager);
    return ok ? 0 : 1;
}

// A descriptor's DACL as SDDL, with its inheritance flags; the descriptor
// is freed. Empty for none.
std::string DaclText(PSECURITY_DESCRIPTOR sd)
{
    char *text = NULL;
    std::string dacl;
    if (sd && ConvertSecurityDescriptorToStringSecurityDescriptorA(sd, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                                   &text, NULL))
        dacl = text;
    if (text)
        LocalFree(text);
    if (sd)
        LocalFree(sd);
    return dacl;
}

// The DACL of a folder as SDDL.
std::string FolderDacl(const char *path)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    if (GetNamedSecurityInfoA(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL, &sd) !=
        ERROR_SUCCESS)
        sd = NULL;
    return DaclText(sd);
}

// The shared text, read and written back the way Windows spells it.
std::string Canonical(const char *sddl)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, NULL))
        sd = NULL;
    return DaclText(sd);
}

// Whether rights set on a folder are kept: tried on a scratch folder.
bool KeepsFileRights()
{
    const char scratch[] = "C:\\InstallProbeRights";
    CreateDirectoryA(scratch, NULL);
    PSECURITY_DESCRIPTOR sd = NULL;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = NULL;
    bool kept = false;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorA(kDataFolderSecurity, SDDL_REVISION_1, &sd, NULL) &&
        GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) &&
        SetNamedSecurityInfoA(const_cast<char *>(scratch), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, NULL, NULL, dacl,
                              NULL) == ERROR_SUCCESS)
        kept = FolderDacl(scratch) == Canonical(kDataFolderSecurity);
    if (sd)
        LocalFree(sd);
    RemoveDirectoryA(scratch);
    return kept;
}

void PrintDescription()
{
    SC_HANDLE manager = NULL;
    SC_HANDLE service = OpenUpdaterService(SERVICE_QUERY_CONFIG, manager);
    std::vector<BYTE> buffer(8192);
    DWORD needed = 0;
    const SERVICE_DESCRIPTIONA *description = (const SERVICE_DESCRIPTIONA *)buffer.data();
    if (service && QueryServiceConfig2A(service, SERVICE_CONFIG_DESCRIPTION, buffer.data(), (DWORD)buffer.size(),
                                        &needed) &&
        description->lpDescription && description->lpDescription[0])
        printf("%s\n", description->lpDescription);
    else
        printf("none\n");
    CloseUpdaterService(service, manager);
}

// The file is loaded as data, as the Event Viewer reads it.
void PrintMessage(const char *file, DWORD id)
{
    HMODULE module = LoadLibraryExA(file, NULL, LOAD_LIBRARY_AS_DATAFILE);
    char text[1024] = "";
    DWORD n = module ? FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module, id, 0,
                                      text, sizeof text, NULL)
                     : 0;
    while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r'))
        text[--n] = '\0';
    printf("%s\n", n ? text : "none");
    if (module)
        FreeLibrary(module);
}

int RunCommandLine(const char *commandLine)
{
    std::string line = commandLine;
    STARTUPINFOA start = {};
    start.cb = sizeof start;
    PROCESS_INFORMATION started = {};
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, NULL, &start, &started))
        return 3;
    CloseHandle(started.hThread);
    DWORD code = 3;
    if (WaitForSingleObject(started.hProcess, 120000) != WAIT_OBJECT_0 || !GetExitCodeProcess(started.hProcess, &code))
        code = 3;
    CloseHandle(started.hProcess);
    return (int)code;
}

int PrintRunning(const char *prefix)
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    int found = 0;
    for (BOOL more = snapshot != INVALID_HANDLE_VALUE && Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        char path[MAX_PATH];
        DWORD size = sizeof path;
        if (process && QueryFullProcessImageNameA(process, 0, path, &size) &&
            _strnicmp(path, prefix, strlen(prefix)) == 0) {
            printf("%s\n", path);
            ++found;
        }
        if (process)
            CloseHandle(process);
    }
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    return found ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "service") == 0) {
        printf("%s\n", ServiceState());
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "version") == 0) {
        PrintVersion(argv[2]);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "window") == 0) {
        HWND found = FindWindowExA(HWND_MESSAGE, NULL, argv[2], NULL);
        if (!found)
            found = FindWindowExA(NULL, NULL, argv[2], NULL);
        printf("%s\n", found ? "yes" : "no");
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "hold") == 0) {
        HMODULE held = LoadLibraryExA(argv[2], NULL, DONT_RESOLVE_DLL_REFERENCES);
        printf("%s\n", held ? "held" : "not loaded");
        fflush(stdout);
        Sleep((DWORD)atoi(argv[3]) * 1000);
        if (held)
            FreeLibrary(held);
        return held ? 0 : 1;
    }
    if (argc == 3 && strcmp(argv[1], "free") == 0) {
        HANDLE probe = CreateFileA(argv[2], DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
        if (probe == INVALID_HANDLE_VALUE)
            return 1;
        CloseHandle(probe);
        return 0;
    }
    if (argc == 4 && (strcmp(argv[1], "open") == 0 || strcmp(argv[1], "lock") == 0)) {
        // A folder too (backup semantics), as anyone may open one he can list.
        DWORD share = strcmp(argv[1], "lock") == 0 ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
        HANDLE held = CreateFileA(argv[2], GENERIC_READ, share, NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
        printf("%s\n", held != INVALID_HANDLE_VALUE ? "held" : "not opened");
        fflush(stdout);
        if (held == INVALID_HANDLE_VALUE)
            return 1;
        Sleep((DWORD)atoi(argv[3]) * 1000);
        CloseHandle(held);
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "rights") == 0)
        return PrintRights();
    if (argc == 2 && strcmp(argv[1], "legacy") == 0)
        return MakeLegacyService(false);
    if (argc == 2 && strcmp(argv[1], "legacy-interactive") == 0)
        return MakeLegacyService(true);
    if (argc == 3 && strcmp(argv[1], "folder") == 0) {
        std::string dacl = FolderDacl(argv[2]);
        if (!dacl.empty() && dacl == Canonical(kDataFolderSecurity))
            printf("as-shared\n");
        else
            printf("%s\n", KeepsFileRights() ? dacl.c_str() : "not kept");
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "owner") == 0) {
        PSID owner = NULL;
        PSECURITY_DESCRIPTOR sd = NULL;
        char *text = NULL;
        if (GetNamedSecurityInfoA(argv[2], SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                                  &sd) == ERROR_SUCCESS &&
            ConvertSidToStringSidA(owner, &text))
            printf("%s\n", text);
        LocalFree(text);
        LocalFree(sd);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "dacl") == 0) {
        printf("%s\n", FolderDacl(argv[2]).c_str());
        return 0;
    }
    if (argc == 2 && strcmp(argv[1], "description") == 0) {
        PrintDescription();
        return 0;
    }
    if (argc == 4 && strcmp(argv[1], "message") == 0) {
        PrintMessage(argv[2], (DWORD)strtoul(argv[3], NULL, 10));
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "run") == 0)
        return RunCommandLine(argv[2]);
    if (argc == 3 && strcmp(argv[1], "running") == 0)
        return PrintRunning(argv[2]);
    fprintf(stderr, "usage: InstallProbe service | version <file> | window <class> | hold <file> <seconds>"
                    " | open <file> <seconds> | rights"
                    " | legacy | legacy-interactive | folder <path> | dacl <path> | owner <path> | description | message <file> <id>"
                    " | run <command line> | running <prefix>\n");
    return 2;
}
