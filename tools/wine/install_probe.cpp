// InstallProbe: what an installation left behind, for shell scripts.
//   InstallProbe service          absent | stopped | running | starting | stopping | other
//   InstallProbe version <file>   the file's product version ("none" without one)
//   InstallProbe window <class>   yes | no (message-only windows included)
//   InstallProbe hold <file> <s>  keeps the program file loaded for s seconds,
//                                 as a program slow to end would
#include <windows.h>
#include <winsvc.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

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
    fprintf(stderr, "usage: InstallProbe service | version <file> | window <class> | hold <file> <seconds>\n");
    return 2;
}
