// Runs the real TalTray.exe from bin/tray (beside a copy of TalLib and stub
// programs that record their starts) and, without a display, plays the
// notification area itself to see every request the icon makes.
#pragma once

#include "test_windows.h"

#include "test_env.h"

#include <windows.h>

#include <string>
#include <vector>

// One request as Wine's shell32 hands it to the notification area.
struct ShellRequest {
    DWORD message; // NIM_ADD, NIM_MODIFY, NIM_DELETE
    HWND window;
    UINT id, flags, callback;
    std::string tip, info, title;
    DWORD infoFlags;
    UINT timeout;
};

// A window of the notification area's class in the test process: Wine's
// Shell_NotifyIcon sends it each request (there is no other one without a
// display). It answers as a shell would: modify only a known icon, add
// only an unknown one.
class FakeShell {
public:
    FakeShell();
    ~FakeShell();
    FakeShell(const FakeShell &) = delete;
    FakeShell &operator=(const FakeShell &) = delete;
    // Forgets its icons and announces itself, as a restarted shell does.
    void Restart(HWND tray);

    static std::vector<ShellRequest> requests;
    static bool iconShown;

private:
    HWND window_ = NULL;
};


class TrayTest : public DataFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes [App] with `appLines` ("Key=value" lines) and starts TalTray;
    // true once its window exists.
    bool StartTray(const std::string &appLines);
    // With `suspendedThread`, the process waits for ResumeThread on it.
    HANDLE StartTrayProcess(HANDLE *suspendedThread = NULL);
    // True when the process ended within the time (messages pumped).
    bool WaitForExit(HANDLE process, DWORD timeoutMs = 10000);
    // Writes one message to the tray pipe as the engine does, retrying
    // while the listener is between connections.
    bool SendPipe(const char *text);
    // Lines "<program>|<arguments>|<show>" of the stubs started so far.
    std::vector<std::string> Started();
    // Waits until none of the stubs runs: what the icon started through the
    // shell is recorded by then.
    bool StubsEnded();

    std::string trayFolder;
    HANDLE tray = NULL;
    HWND trayWindow = NULL;
};
