// Finding, starting, stopping and commanding the other programs of the
// suite, whichever of the two updaters (service or user process) runs.
#include "tallib.h"
#include "internal.h"
#include "no_throw.h"
#include "desktop_shell_start.h"
#include "error_text.h"
#include "signals.h"
#include "text_format.h"

#include <shellapi.h>
#include <stdio.h>
#include <string.h>

#include <string>

namespace {

// What a look at the updater service found.
enum ServiceState { ServiceAbsent, ServiceStopped, ServiceRunning };

// Whether the updater service is installed and, when asked, whether it
// runs. Only the right to query its status is asked for, which every user
// has: a program without administrator rights (the icon, the user-process
// updater) sees the service as the elevated ones do.
ServiceState QueryService(bool wantRunState)
{
    UpdaterService updater(SERVICE_QUERY_STATUS);
    if (!updater.exists)
        return ServiceAbsent;
    SERVICE_STATUS status = {};
    if (wantRunState && updater.service && QueryServiceStatus(updater.service.get(), &status) &&
        status.dwCurrentState == SERVICE_RUNNING)
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

// What Execute_* return when the desktop shell started a program: the
// shell's instance value for success is any value above 32.
const INT_PTR kStartedThroughShell = 42;

// A program of the signed-in user (the icon, the user-process updater, the
// assistant) opened for this process. An elevated process never starts one
// itself, which would hand it administrator rights: the desktop shell
// starts it as the user (Execute_AsUser), or it is not started at all.
INT_PTR OpenUserProgram(HWND owner, const char *file, int show)
{
    if (!file[0])
        return ERROR_FILE_NOT_FOUND;
    if (!ProcessIsElevated())
        return ShellOpen(owner, file, show);
    return Execute_AsUser(file, NULL, show) ? kStartedThroughShell : SE_ERR_ACCESSDENIED;
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

// A window of another program that did not answer is reported once, and
// again only after it has answered in between, so a hung window costs the
// log one record however often it is asked.
struct Silence {
    const char *windowClass;
    LONG reported;
};
Silence g_silences[] = {{kUpdaterClass, 0}, {kTrayClass, 0}, {kConfigClass, 0}};

void NoteAnswer(const char *windowClass, bool answered, DWORD timeoutMs)
{
    for (Silence &silence : g_silences) {
        if (strcmp(silence.windowClass, windowClass) != 0)
            continue;
        if (answered) {
            InterlockedExchange(&silence.reported, 0);
        } else if (InterlockedExchange(&silence.reported, 1) == 0) {
            char message[160];
            FormatText(message, sizeof message, "The window %s did not answer within %lu s; went on without its answer.",
                     windowClass, (unsigned long)(timeoutMs / 1000));
            LogToFile(message, LOG_NEW_RECORD, LOG_WARNING);
        }
    }
}

// "start" or "stop" through the controller, waiting for its answer so that
// a failure is logged with its cause: the controller itself writes no log.
// It ends at once, but for StartService, which waits for the service's
// program to come up (30 s at most). Callers run this off window threads.
const DWORD kControllerWaitMs = 45000;
// TalUpControl's exit code when the service did what it was asked; any
// other is the Windows error that stopped it.
const DWORD kControllerSucceeded = ERROR_SUCCESS;

INT_PTR RunController(const char *argument)
{
    const bool start = strcmp(argument, "start") == 0;
    if (!Paths().controlExe[0])
        return FALSE;
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = Paths().controlExe;
    info.lpParameters = argument;
    info.nShow = SW_SHOWNORMAL;
    BOOL started = ShellExecuteExA(&info);
    std::string failure;
    if (!started) {
        // Refused elevation included (error 1223).
        failure = std::string("the service controller could not be run: ") + DescribeError(GetLastError());
    } else if (info.hProcess) {
        ScopedHandle controller(info.hProcess);
        DWORD code = 0;
        if (WaitForSingleObject(controller.get(), kControllerWaitMs) != WAIT_OBJECT_0)
            failure = "the service controller did not answer within 45 s";
        else if (GetExitCodeProcess(controller.get(), &code) && code != kControllerSucceeded)
            failure = "the service controller ended with " + DescribeError(code);
    }
    if (!failure.empty()) {
        std::string message = std::string("The updater service could not be ") + (start ? "started" : "stopped") +
                              ": " + failure + ".";
        LogToFile(message.c_str(), LOG_NEW_RECORD, LOG_ERROR);
    }
    return started;
}

} // namespace

LRESULT SendToProgram(const char *windowClass, const char *title, UINT message, WPARAM wParam, LPARAM lParam,
                      DWORD timeoutMs)
{
    HWND window = FindSignalWindow(windowClass, title);
    DWORD_PTR answer = 0;
    if (!window)
        return 0;
    // SMTO_NORMAL: a window thread that sends keeps answering what is sent
    // to it meanwhile, so two programs telling each other cannot deadlock.
    // A notice is not even tried on a window the system already sees as
    // hung; a command is, since the updater is busy for a whole pass.
    UINT flags = SMTO_NORMAL | (timeoutMs <= kNoticeAnswerMs ? SMTO_ABORTIFHUNG : 0);
    bool answered = SendMessageTimeoutA(window, message, wParam, lParam, flags, timeoutMs, &answer) != 0;
    NoteAnswer(windowClass, answered, timeoutMs);
    return answered ? (LRESULT)answer : 0;
}

UpdaterService::UpdaterService(DWORD rights) : manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT))
{
    if (!manager)
        return;
    service.reset(OpenServiceA(manager.get(), kServiceName, rights));
    // Refused rights prove the service is there; a missing one is
    // ERROR_SERVICE_DOES_NOT_EXIST.
    exists = service || GetLastError() == ERROR_ACCESS_DENIED;
}

HWND FindSignalWindow(const char *windowClass, const char *title)
{
    // No parent and no previous child: Windows then searches message-only
    // windows as well as top-level ones. FindWindowA does NOT find
    // message-only windows on Windows; Wine finds them with it, so a test
    // under Wine could never catch that mistake. Keep FindWindowExA here.
    return FindWindowExA(NULL, NULL, windowClass, title);
}

bool PostToProgram(const char *windowClass, const char *title, UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND window = FindSignalWindow(windowClass, title);
    return window && PostMessageA(window, message, wParam, lParam);
}

LRESULT TrayIcon_TellUpgrade(void)
{
    return PostToProgram(kTrayClass, kTrayTitle, WM_USER, kCmdUpgradeAvailable, 0) ? 1 : 0;
}

HWND TALAPI TrayIcon_Find(void) { return FindSignalWindow(kTrayClass, NULL); }

LRESULT TALAPI TrayIcon_Kill(void) { return SendToProgram(kTrayClass, NULL, WM_QUIT, 0, 0, kNoticeAnswerMs); }

HWND TALAPI TalUp_Find(void) { return FindSignalWindow(kUpgradeClass, NULL); }

INT_PTR TALAPI Execute_TrayIcon(HWND owner) { return OpenUserProgram(owner, Paths().trayExe, SW_HIDE); }

INT_PTR TALAPI Execute_Config(HWND owner) { return ShellOpen(owner, Paths().configExe, SW_SHOWNORMAL); }

INT_PTR TALAPI Execute_Upgrade(HWND owner) { return OpenUserProgram(owner, Paths().upgradeExe, SW_SHOWNORMAL); }

LRESULT TALAPI TellServer(int code)
{
    LRESULT result = 0;
    if (FindSignalWindow(kUpdaterClass, NULL)) {
        // Synchronous by design: codes 130 and 131 return after a whole
        // pass, so the bound is that of the longest pass.
        result = SendToProgram(kUpdaterClass, NULL, WM_USER, (WPARAM)code, 0, kCommandAnswerMs);
    } else {
        // No user-process updater: the controller passes the code to the
        // service. Whether that works is not reported.
        char text[32] = {};
        FormatText(text, sizeof text, "%d", code);
        ShellOpenEx(Paths().controlExe, text, SW_HIDE);
    }
    return result;
}

LRESULT TALAPI TellConfig(int code, LPARAM lParam)
{
    return SendToProgram(kConfigClass, kConfigTitle, WM_USER, (WPARAM)code, lParam, kNoticeAnswerMs);
}

int TALAPI IsRunningService(void) { return ServiceInstalled() ? 1 : 0; }

int TALAPI IsRunningProcess(void) { return FindSignalWindow(kUpdaterClass, NULL) ? 1 : 0; }

int TALAPI GetActive(void)
{
    // When the service is installed its state decides, whatever windows exist.
    ServiceState service = QueryService(true);
    if (service != ServiceAbsent)
        return service == ServiceRunning ? 1 : 0;
    return IsRunningProcess();
}

INT_PTR TALAPI StartUpdater(void)
{
    INT_PTR result = 0;
    HWND updater = NULL;
    if (ServiceInstalled())
        result = NoThrow((INT_PTR)FALSE, [] { return RunController("start"); });
    else if ((updater = FindSignalWindow(kUpdaterClass, NULL)) != NULL)
        result = (INT_PTR)updater; // already running: nothing is started
    else
        result = OpenUserProgram(NULL, Paths().processUpdaterExe, SW_SHOWNORMAL);
    return result;
}

INT_PTR TALAPI StopUpdater(void)
{
    INT_PTR result = 0;
    if (ServiceInstalled())
        result = NoThrow((INT_PTR)FALSE, [] { return RunController("stop"); });
    else
        result = TellServer((int)kCmdQuitProcess);
    return result;
}

int TALAPI Execute_AsUser(const char *program, const char *parameters, int show)
{
    int result = 0;
    if (program && program[0]) {
        result = NoThrow(0, [&] {
            std::string why;
            if (StartThroughDesktopShell(program, parameters, show, why))
                return 1;
            // Said where the user sees it: the log, which the configuration
            // utility shows. Its Startup shortcut starts it at the next logon.
            std::string message = std::string("Talvex Updater: ") + program + " was not started: " + why +
                                  ". It starts at the next logon.";
            LogAndSignal(message.c_str(), LOG_NEW_RECORD, LOG_WARNING);
            return 0;
        });
    }
    return result;
}
