// The notification icon's test fixture: TalTray started for real, the
// notification area played by the test.
#include "tray_fixture.h"

#include "config_keys.h"
#include "signals.h"
#include "tallib.h"

#include <shellapi.h>

#include <sstream>

namespace {

// What Wine 8's shell32 sends the notification area in WM_COPYDATA (its
// platform-independent copy of the icon record), icon bits following.
struct WineNotifyData {
    LONG window;
    UINT id;
    UINT flags;
    UINT callback;
    WCHAR tip[128];
    DWORD state;
    DWORD stateMask;
    WCHAR info[256];
    UINT timeout;
    WCHAR infoTitle[64];
    DWORD infoFlags;
    GUID guid;
    UINT width, height, planes, bpp;
};

std::string Narrow(const WCHAR *text, size_t count)
{
    char out[512] = "";
    WideCharToMultiByte(CP_ACP, 0, text, (int)wcsnlen(text, count), out, sizeof out - 1, NULL, NULL);
    return out;
}

LRESULT OnCopyData(const COPYDATASTRUCT *data)
{
    if (data->cbData < sizeof(WineNotifyData))
        return FALSE;
    const auto *d = static_cast<const WineNotifyData *>(data->lpData);
    const ShellRequest r = {(DWORD)data->dwData, (HWND)(LONG_PTR)d->window, d->id, d->flags, d->callback,
                            Narrow(d->tip, 128), Narrow(d->info, 256), Narrow(d->infoTitle, 64), d->infoFlags,
                            d->timeout};
    FakeShell::requests.push_back(r);
    bool &shown = FakeShell::iconShown;
    if (r.message == NIM_MODIFY)
        return shown;
    if ((r.message == NIM_ADD && shown) || (r.message == NIM_DELETE && !shown))
        return FALSE;
    shown = r.message == NIM_ADD;
    return TRUE;
}

LRESULT CALLBACK ShellProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA)
        return OnCopyData(reinterpret_cast<const COPYDATASTRUCT *>(lParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

std::vector<ShellRequest> FakeShell::requests;
bool FakeShell::iconShown = false;

FakeShell::FakeShell()
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ShellProc;
    wc.hInstance = GetModuleHandleW(NULL);
    wc.lpszClassName = L"Shell_TrayWnd";
    RegisterClassW(&wc);
    // Message-only: without a display Wine makes no other kind, and its
    // Shell_NotifyIcon finds this one all the same.
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, wc.hInstance, NULL);
    requests.clear();
    iconShown = false;
}

FakeShell::~FakeShell()
{
    if (window_)
        DestroyWindow(window_);
}

void FakeShell::Restart(HWND tray)
{
    iconShown = false;
    // A shell broadcasts this to top-level windows; there are none without
    // a display, so it goes to the icon's window directly.
    PostMessageA(tray, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
}


void TrayTest::SetUp()
{
    DataFolderTest::SetUp();
    trayFolder = ExeFolder();
    DeleteFileA((dataFolder + "started.txt").c_str());
}

void TrayTest::TearDown()
{
    if (tray) {
        if (WaitForSingleObject(tray, 0) == WAIT_TIMEOUT) {
            TrayIcon_Kill();
            if (!WaitForExit(tray))
                TerminateProcess(tray, 1);
        }
        CloseHandle(tray);
    }
    DeleteFileA((dataFolder + "started.txt").c_str());
    DataFolderTest::TearDown();
}

HANDLE TrayTest::StartTrayProcess(HANDLE *suspendedThread)
{
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = Quoted(trayFolder + "TalTray.exe");
    DWORD flags = suspendedThread ? CREATE_SUSPENDED : 0;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, flags, NULL, trayFolder.c_str(), &si, &pi))
        return NULL;
    if (suspendedThread)
        *suspendedThread = pi.hThread;
    else
        CloseHandle(pi.hThread);
    return pi.hProcess;
}

bool TrayTest::StartTray(const std::string &appLines)
{
    WriteWholeFile(configFile, "[App]\r\n" + appLines);
    tray = StartTrayProcess();
    if (!tray)
        return false;
    DWORD pid = GetProcessId(tray);
    return PumpUntil([&] {
        trayWindow = TrayIcon_Find();
        DWORD owner = 0;
        if (trayWindow)
            GetWindowThreadProcessId(trayWindow, &owner);
        return owner == pid;
    });
}

bool TrayTest::WaitForExit(HANDLE process, DWORD timeoutMs)
{
    return PumpUntil([&] { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }, timeoutMs);
}

bool TrayTest::SendPipe(const char *text)
{
    return PumpUntil([&] { return Signal(kTrayPipeName, text) == 1; }, 5000);
}

bool TrayTest::StubsEnded()
{
    return WaitForProgramsToEnd(ExeFolder(), {"TalUpUp.exe", "TalUpConfig.exe", "TalUpControl.exe", "TalUpPs.exe"});
}

std::vector<std::string> TrayTest::Started()
{
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(dataFolder + "started.txt"));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}
