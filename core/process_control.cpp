// Finding, starting, stopping and commanding the other programs of the
// suite, whichever of the two updaters (service or user process) runs.
#include "tallib.h"
#include "internal.h"
#include "signals.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

namespace {

// Outcome of opening the manager and the service with full access.
enum ServiceState { ServiceAbsent, ServiceStopped, ServiceRunning };

// Whether the updater service can be opened with full access and,
// when asked, whether it runs.
ServiceState QueryService(bool wantRunState)
{
    UpdaterService updater;
    if (!updater.service)
        return ServiceAbsent;
    SERVICE_STATUS status = {};
    if (wantRunState && QueryServiceStatus(updater.service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING)
        return ServiceRunning;
    return ServiceStopped;
}

bool ServiceInstalled() { return QueryService(false) != ServiceAbsent; }

// ShellExecuteA with the verb "open"; the shell's instance value, above 32
// on success. A path that could not be formed is never handed to the shell.
INT_PTR ShellOpen(HWND owner, const char *file, int show)
{
    if (!file[0])
        return ERROR_FILE_NOT_FOUND;
    return (INT_PTR)ShellExecuteA(owner, "open", file, NULL, NULL, show);
}

// The extended execute for the service controller; the shell's success flag.
BOOL ShellOpenEx(const char *file, const char *parameters, int show)
{
    if (!file[0])
        return FALSE;
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info; // 60 bytes in the 32-bit product
    info.fMask = 0;
    info.hwnd = NULL;
    info.lpVerb = "open";
    info.lpFile = file;
    info.lpParameters = parameters;
    info.lpDirectory = NULL;
    info.nShow = show;
    return ShellExecuteExA(&info);
}

LRESULT SendCommand(HWND window, UINT message, WPARAM code, LPARAM lParam)
{
    return window ? SendMessageA(window, message, code, lParam) : 0;
}

} // namespace

// Rights the service test asks for.
UpdaterService::UpdaterService()
    : manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS)),
      service(manager ? OpenServiceA(manager.get(), kServiceName, SERVICE_ALL_ACCESS) : NULL)
{
}

HWND FindSignalWindow(const char *windowClass, const char *title)
{
    // No parent and no previous child: Windows then searches message-only
    // windows as well as top-level ones. FindWindowA does NOT find
    // message-only windows on Windows; Wine finds them with it, so a test
    // under Wine could never catch that mistake. Keep FindWindowExA here.
    return FindWindowExA(NULL, NULL, windowClass, title);
}

LRESULT TrayIcon_TellUpgrade(void)
{
    return SendCommand(FindSignalWindow(kTrayClass, kTrayTitle), WM_USER, kCmdUpgradeAvailable, 0);
}

HWND TALAPI TrayIcon_Find(void) { return FindSignalWindow(kTrayClass, NULL); }

LRESULT TALAPI TrayIcon_Kill(void) { return SendCommand(TrayIcon_Find(), WM_QUIT, 0, 0); }

HWND TALAPI TalUp_Find(void) { return FindSignalWindow(kUpgradeClass, NULL); }

INT_PTR TALAPI Execute_TrayIcon(HWND owner) { return ShellOpen(owner, Paths().trayExe, SW_HIDE); }

INT_PTR TALAPI Execute_Config(HWND owner) { return ShellOpen(owner, Paths().configExe, SW_SHOWNORMAL); }

INT_PTR TALAPI Execute_Upgrade(HWND owner) { return ShellOpen(owner, Paths().upgradeExe, SW_SHOWNORMAL); }

LRESULT TALAPI TellServer(int code)
{
    LRESULT result = 0;
    HWND updater = FindSignalWindow(kUpdaterClass, NULL);
    if (updater) {
        // Synchronous by design: codes 130 and 131 return after a whole pass.
        result = SendMessageA(updater, WM_USER, (WPARAM)code, 0);
    } else {
        // No user-process updater: the controller passes the code to the
        // service. Whether that works is not reported.
        char text[32] = {};
        snprintf(text, sizeof text, "%d", code);
        ShellOpenEx(Paths().controlExe, text, SW_HIDE);
    }
    return result;
}

LRESULT TALAPI TellConfig(int code, LPARAM lParam)
{
    return SendCommand(FindSignalWindow(kConfigClass, kConfigTitle), WM_USER, (WPARAM)code, lParam);
}

int TALAPI IsRunningService(void) { return ServiceInstalled() ? 1 : 0; }

int TALAPI IsRunningProcess(void) { return FindSignalWindow(kUpdaterClass, NULL) ? 1 : 0; }

int TALAPI GetActive(void)
{
    // When the service is installed its state decides, whatever windows exist.
    if (ServiceInstalled())
        return QueryService(true) == ServiceRunning ? 1 : 0;
    return IsRunningProcess();
}

INT_PTR TALAPI StartUpdater(void)
{
    INT_PTR result = 0;
    HWND updater = NULL;
    if (ServiceInstalled())
        result = ShellOpenEx(Paths().controlExe, "start", SW_SHOWNORMAL);
    else if ((updater = FindSignalWindow(kUpdaterClass, NULL)) != NULL)
        result = (INT_PTR)updater; // already running: nothing is started
    else
        result = ShellOpen(NULL, Paths().processUpdaterExe, SW_SHOWNORMAL);
    return result;
}

INT_PTR TALAPI StopUpdater(void)
{
    INT_PTR result = 0;
    if (ServiceInstalled())
        result = ShellOpenEx(Paths().controlExe, "stop", SW_SHOWNORMAL);
    else
        result = TellServer((int)kCmdQuitProcess);
    return result;
}
