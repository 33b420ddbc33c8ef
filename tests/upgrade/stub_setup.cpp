// Stands in for a downloaded installer: records the arguments it was
// started with in setup-ran.txt beside itself, and ends.
#include <windows.h>

#include <string.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
    char *slash = strrchr(path, '\\');
    if (n == 0 || n >= MAX_PATH || !slash || (size_t)(slash - path) + 16 >= MAX_PATH)
        return 1;
    strcpy(slash + 1, "setup-ran.txt");
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    WriteFile(file, arguments, (DWORD)strlen(arguments), &written, NULL);
    CloseHandle(file);
    return 0;
}
