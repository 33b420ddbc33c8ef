// Start at logon: shortcuts in the common Startup folder for the
// notification icon and the user-process updater, or the service's start
// type when the updater is installed as a service.
#include "tallib.h"
#include "internal.h"
#include "scoped.h"
#include "signals.h"
#include "text_format.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <stdio.h>

namespace {

const char kTrayShortcut[] = "Talvex Updater Tray Icon.lnk";
const char kTrayDescription[] = "Talvex Updater Tray Icon";
const char kUpdaterShortcut[] = "Talvex Updater.lnk";
const char kUpdaterDescription[] = "Talvex Updater";

// The shortcut's full path in the common Startup folder; false when the
// folder is unknown or the path would not fit.
bool StartupShortcutPath(const char *name, char *path, int size)
{
    char folder[MAX_PATH];
    if (FAILED(SHGetFolderPathA(NULL, CSIDL_COMMON_STARTUP, NULL, SHGFP_TYPE_CURRENT, folder)))
        return false;
    int n = FormatText(path, size, "%s\\%s", folder, name);
    return n > 0 && n < size;
}

bool Exists(const char *path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Creates the shortcut unless a file of that name exists (even one that
// points elsewhere); true when one is there afterwards.
bool EnsureShortcut(const char *name, const char *target, const char *description)
{
    char path[MAX_PATH];
    if (!StartupShortcutPath(name, path, sizeof path))
        return false;
    return Exists(path) || CreateLink(target, path, description) == 0;
}

// Deletes the shortcut if it exists; true when none is there afterwards.
bool RemoveShortcut(const char *name)
{
    char path[MAX_PATH];
    if (!StartupShortcutPath(name, path, sizeof path))
        return false;
    return !Exists(path) || DeleteFileA(path);
}

enum ServiceChange { NoService, Changed, NotChanged };

// Sets the updater service's start type, changing nothing else. NoService
// when the service is not installed. An installed service that this caller
// may not change (only administrators may) is NotChanged: the user-process
// updater's shortcut would only start a second updater beside the service.
ServiceChange SetServiceStartType(DWORD startType)
{
    UpdaterService updater(SERVICE_CHANGE_CONFIG);
    if (!updater.exists)
        return NoService;
    if (!updater.service)
        return NotChanged;
    return ChangeServiceConfigA(updater.service.get(), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, NULL, NULL, NULL,
                                NULL, NULL, NULL, NULL)
               ? Changed
               : NotChanged;
}

} // namespace

int TALAPI CreateLink(const char *target, const char *shortcutPath, const char *description)
{
    if (!target || !shortcutPath || !description)
        return (int)E_INVALIDARG;
    // COM belongs to the calling thread: each call joins (or finds) the
    // thread's apartment and leaves it again, so any thread can make links.
    ScopedCom com;
    if (!com.ok())
        return (int)CO_E_NOTINITIALIZED;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    wchar_t widePath[MAX_PATH];
    HRESULT status = CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out());
    if (FAILED(status))
        return (int)status;
    link->SetPath(target);
    link->SetDescription(description);
    status = link->QueryInterface(IID_IPersistFile, file.out());
    if (FAILED(status))
        return (int)status;
    if (!MultiByteToWideChar(CP_ACP, 0, shortcutPath, -1, widePath, MAX_PATH))
        return (int)HRESULT_FROM_WIN32(GetLastError());
    return (int)file->Save(widePath, TRUE);
}

int TALAPI CreateTrayIconShortcut(void)
{
    int result = 0;
    HWND icon = NULL;
    EnsureShortcut(kTrayShortcut, Paths().trayExe, kTrayDescription);
    icon = TrayIcon_Find();
    if (icon)
        result = (int)(INT_PTR)icon; // already running: nothing is started
    else
        result = (int)Execute_TrayIcon(NULL);
    return result;
}

int TALAPI KillTrayIconShortcut(void)
{
    RemoveShortcut(kTrayShortcut);
    // WM_QUIT sent, not posted: the icon removes itself and ends (0 when
    // no icon runs).
    return (int)TrayIcon_Kill();
}

// The updater starts with Windows: the service on automatic start, or the
// user-process updater's shortcut. 1 when that is arranged, else 0.
int TALAPI CreateStartupShortcut(void)
{
    int result = 0;
    ServiceChange change = SetServiceStartType(SERVICE_AUTO_START);
    if (change != NoService)
        result = change == Changed ? 1 : 0;
    else
        result = EnsureShortcut(kUpdaterShortcut, Paths().processUpdaterExe, kUpdaterDescription) ? 1 : 0;
    return result;
}

// Undoes CreateStartupShortcut: the service disabled, or the shortcut gone.
int TALAPI KillStartupShortcut(void)
{
    int result = 0;
    ServiceChange change = SetServiceStartType(SERVICE_DISABLED);
    if (change != NoService)
        result = change == Changed ? 1 : 0;
    else
        result = RemoveShortcut(kUpdaterShortcut) ? 1 : 0;
    return result;
}
