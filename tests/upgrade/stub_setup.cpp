// Stands in for a downloaded installer: records how it was started and
// where, and ends. The record goes to the file TALVEX_STUB_RECORD names
// (else setup-ran.txt beside itself), three lines:
//   the arguments
//   its own path, and its size in bytes, separated by "|"
//   its folder's owner and rights as SDDL, as the system reads them back
// It is written whole under a temporary name and then renamed, so that a
// reader who finds the file finds all of it. When TALVEX_STUB_WAIT names an
// event, the stand-in then runs on until the event is set (a minute at
// most), as an installer at work would.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <stdio.h>
#include <string.h>

#include <string>

namespace {

std::string FolderSecurity(const char *folder)
{
    PSECURITY_DESCRIPTOR descriptor = NULL;
    char *text = NULL;
    std::string sddl = "unreadable";
    if (GetNamedSecurityInfoA(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, NULL,
                              NULL, NULL, NULL, &descriptor) == ERROR_SUCCESS &&
        ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text, NULL))
        sddl = text;
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    char self[MAX_PATH], record[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, self, MAX_PATH);
    char *slash = strrchr(self, '\\');
    if (n == 0 || n >= MAX_PATH || !slash)
        return 1;
    std::string folder(self, slash);
    DWORD recordNamed = GetEnvironmentVariableA("TALVEX_STUB_RECORD", record, MAX_PATH);
    if (recordNamed == 0 || recordNamed >= MAX_PATH)
        snprintf(record, sizeof record, "%s\\setup-ran.txt", folder.c_str());

    WIN32_FILE_ATTRIBUTE_DATA own = {};
    GetFileAttributesExA(self, GetFileExInfoStandard, &own);
    char size[32];
    snprintf(size, sizeof size, "%lu", (unsigned long)own.nFileSizeLow);
    std::string text = std::string(arguments) + "\r\n" + self + "|" + size + "\r\n" +
                       FolderSecurity(folder.c_str()) + "\r\n";

    std::string partial = std::string(record) + ".partial";
    HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL whole = WriteFile(file, text.data(), (DWORD)text.size(), &written, NULL) && written == text.size();
    CloseHandle(file);
    if (!whole || !MoveFileExA(partial.c_str(), record, MOVEFILE_REPLACE_EXISTING))
        return 1;
    char event[MAX_PATH];
    DWORD named = GetEnvironmentVariableA("TALVEX_STUB_WAIT", event, MAX_PATH);
    HANDLE go = named > 0 && named < MAX_PATH ? OpenEventA(SYNCHRONIZE, FALSE, event) : NULL;
    if (go) {
        WaitForSingleObject(go, 60000);
        CloseHandle(go);
    }
    return 0;
}
