// TalTray: the notification-area icon of the Talvex Updater. One hidden
// window owns the icon; its tooltip tells the last update and address, its
// balloons each update's outcome and a new version, its menu commands the
// updater. The tray pipe listener feeds it from the update engine.
#include "tray_commands.h"
#include "tray_icon.h"
#include "tray_menu.h"
#include "tray_messages.h"
#include "tray_pipe.h"
#include "tray_state.h"
#include "window_state.h"
#include "program.h"
#include "resource.h"
#include "signals.h"
#include "tallib.h"
#include "error_text.h"

#include <string>

namespace {

// Ends the program: the icon goes, the message loop ends.
void EndTray(TrayState &state)
{
    RemoveIcon(state);
    PostQuitMessage(0);
}

// Passes the shell's restart broadcast on to the icon's window.
LRESULT CALLBACK ShellWatchProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const TrayState *state = WindowState<TrayState>(window, message, lParam);
    if (state && state->taskbarCreated && message == state->taskbarCreated) {
        PostMessageA(state->window, message, wParam, lParam);
        return 0;
    }
    // The screens changed (a monitor, its resolution or scale): the icon
    // may need another image.
    if (state && message == WM_DISPLAYCHANGE)
        PostMessageA(state->window, kMsgDisplayChanged, 0, 0);
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND CreateShellWatch(TrayState &state)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ShellWatchProc;
    wc.hInstance = state.instance;
    wc.lpszClassName = kShellWatchClass;
    RegisterClassA(&wc);
    // Never shown; a tool window stays off the taskbar and the task switcher.
    return CreateWindowExA(WS_EX_TOOLWINDOW, kShellWatchClass, "", WS_POPUP, 0, 0, 0, 0, NULL, NULL, state.instance,
                           &state);
}

void OnCreate(TrayState &state, HWND window)
{
    state.window = window;
    GetFile_INIFile(state.configPath, sizeof state.configPath);
    state.shellWatch = CreateShellWatch(state);
    // Without the listener (the log says why) the tooltip is brought up to
    // date whenever the pointer comes to the icon instead.
    state.pipeListening = StartTrayPipeListener(window);
    AddIcon(state);
}

void OnPipeMessage(TrayState &state, WPARAM which, int code)
{
    RefreshIcon(state);
    if (which == kPipeResultMessage && state.settings.notify) {
        ShowResultBalloon(state, code);
        TrimWorkingSet();
    }
}

// WM_USER from other programs: only the new-version notice is known.
LRESULT OnCommandCode(TrayState &state, WPARAM code)
{
    if (code == kCmdUpgradeAvailable) {
        state.upgradePending = true;
        ShowBalloon(state, kNewVersionBalloon, kBalloonInfo);
        TrimWorkingSet();
    }
    return 0;
}

void OnIconCallback(TrayState &state, LPARAM event)
{
    switch (event) {
    case WM_MOUSEMOVE:
        if (!state.pipeListening)
            RefreshIcon(state);
        break;
    case WM_LBUTTONDBLCLK:
        Execute_Config(NULL);
        break;
    case WM_RBUTTONDOWN:
        ShowTrayMenu(state);
        break;
    case NIN_BALLOONUSERCLICK:
        if (state.upgradePending)
            Execute_Upgrade(NULL);
        state.upgradePending = false;
        break;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
        state.upgradePending = false;
        break;
    }
    // A pass of the pointer must not give the working set back only to
    // fault it in again at the next one.
    if (IconEventEndsWork(event))
        TrimWorkingSet();
}

// False for an id that is not one of the menu's.
bool OnMenuCommand(TrayState &state, WORD id)
{
    TrayCommandResult result = RunTrayCommand(state, id);
    if (result == kEndTheProgram)
        EndTray(state);
    else if (result == kCommandDone)
        TrimWorkingSet();
    return result != kNotACommand;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TrayState *state = WindowState<TrayState>(window, message, lParam);
    if (!state)
        return DefWindowProcA(window, message, wParam, lParam);

    switch (message) {
    case WM_CREATE:
        OnCreate(*state, window);
        return 0;
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUIT: // reaches here only when sent (TrayIcon_Kill); a posted one ends the loop
        EndTray(*state);
        break;
    case WM_COMMAND:
        return OnMenuCommand(*state, LOWORD(wParam)) ? 0 : DefWindowProcA(window, message, wParam, lParam);
    case WM_USER:
        return OnCommandCode(*state, wParam);
    case kTrayCallback:
        OnIconCallback(*state, lParam);
        break;
    case kMsgPipeMessage:
        OnPipeMessage(*state, wParam, (int)lParam);
        return 0;
    case kMsgDisplayChanged:
        if (PickIconImage(*state))
            RefreshIcon(*state);
        return 0;
    default:
        if (state->taskbarCreated && message == state->taskbarCreated) {
            AddIcon(*state);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Logs why the window class could not be registered.
bool RegisterTrayClass(HINSTANCE instance)
{
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = TrayWindowProc;
    wc.hInstance = instance;
    wc.hIcon = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRAY_ICON), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                 GetSystemMetrics(SM_CYICON), LR_SHARED);
    wc.hIconSm = (HICON)LoadImageA(instance, MAKEINTRESOURCEA(IDI_TRAY_ICON), IMAGE_ICON,
                                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED);
    wc.hCursor = LoadCursorA(NULL, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kTrayClass;
    if (RegisterClassExA(&wc))
        return true;
    std::string text = "Tray Icon: the window class could not be registered. Windows " + DescribeError(GetLastError()) + ".";
    LogToFile(text.c_str(), LOG_NEW_RECORD, LOG_WARNING);
    return false;
}

} // namespace


int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (TrayIcon_Find())
        return 0; // another instance owns the icon
    // The window is made a moment later: an instance started at the same
    // time would not have found it yet. Never released; it ends with us.
    HANDLE instanceLock = CreateMutexA(NULL, FALSE, kTrayInstanceMutex);
    if (!instanceLock || GetLastError() == ERROR_ALREADY_EXISTS)
        return 0;
    if (!RegisterTrayClass(instance))
        return 0;

    TrayState state; // outlives both windows: they are destroyed before it
    state.instance = instance;
    // Registered once: the shell broadcasts it when it restarts.
    state.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    GetFile_INIFile(state.configPath, sizeof state.configPath);
    ReadSettings(state);

    // Message-only, hidden, never shown; other programs find it by class.
    HWND window = CreateWindowExA(0, kTrayClass, kTrayTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 0,
                                  0, HWND_MESSAGE, NULL, instance, &state);
    if (!window)
        return 0;

    // Asked once the window exists, so that its answer (the new-version
    // notice, sent to this window) cannot arrive before it.
    if (state.settings.upgrade && !state.settings.fresh)
        CheckVersion();

    TrimWorkingSet();
    RunMessageLoop(NULL);
    // The windows go while their state still exists.
    if (state.shellWatch)
        DestroyWindow(state.shellWatch);
    DestroyWindow(window);
    return 0;
}
