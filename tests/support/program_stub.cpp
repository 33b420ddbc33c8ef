// Stands in for a program of the suite in the process-control tests: built
// under each program's file name into the tests' own folder, it appends one
// line "<file name>|<arguments>|<show state>" to started.txt in the data
// folder and exits. The show state is -1 when none was given.
#include <windows.h>
#include <shlobj.h>

#include <stdio.h>
#include <string.h>

// The command line after the program's own (possibly quoted) path.
static const char *Arguments(const char *line)
{
    if (*line == '"') {
        const char *end = strchr(line + 1, '"');
        line = end ? end + 1 : line + strlen(line);
    } else {
        while (*line && *line != ' ' && *line != '\t')
            ++line;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

int main()
{
    char self[MAX_PATH], folder[MAX_PATH], path[MAX_PATH + 64];
    if (!GetModuleFileNameA(NULL, self, MAX_PATH) ||
        FAILED(SHGetFolderPathA(NULL, CSIDL_COMMON_APPDATA, NULL, SHGFP_TYPE_CURRENT, folder)))
        return 3;
    const char *name = strrchr(self, '\\') ? strrchr(self, '\\') + 1 : self;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    GetStartupInfoA(&si);
    int show = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : -1;

    char line[1024];
    int length = snprintf(line, sizeof line, "%s|%s|%d\r\n", name, Arguments(GetCommandLineA()), show);
    snprintf(path, sizeof path, "%s\\Talvex\\Updater\\started.txt", folder);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 3;
    DWORD written = 0;
    WriteFile(file, line, (DWORD)(length < (int)sizeof line ? length : (int)sizeof line - 1), &written, NULL);
    CloseHandle(file);
    return 1; // like the controller when no service answers
}
