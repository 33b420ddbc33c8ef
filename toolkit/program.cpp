// The message loop, the working-set trim and the updater switch of every
// program.
#include "program.h"

#include "error_text.h"
#include "scoped.h"
#include "signals.h"
#include "tallib.h"
#include "worker.h"

#include <string>

int RunMessageLoop(HWND dialogKeys)
{
    MSG msg = {};
    BOOL got;
    while ((got = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (got == -1)
            return 0;
        if (dialogKeys && IsDialogMessageA(dialogKeys, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return (int)msg.wParam;
}

void TrimWorkingSet() { SetProcessWorkingSetSize(GetCurrentProcess(), (SIZE_T)-1, (SIZE_T)-1); }

namespace {

DWORD WINAPI SwitchUpdaterThread(void *start)
{
    if (start)
        StartUpdater();
    else
        StopUpdater();
    return 0;
}

DWORD WINAPI ReactivateUpdaterThread(void *)
{
    if (GetActive())
        TellServer((int)kCmdReloadAndPass);
    else
        StartUpdater();
    return 0;
}

} // namespace

void ReactivateUpdaterInBackground()
{
    StartWorker(ReactivateUpdaterThread, NULL, "Error creating thread to start the Updater.");
}

void SwitchUpdaterInBackground(bool start)
{
    // Without a thread nothing is switched (the log says why): the window
    // thread never waits on the service controller.
    StartWorker(SwitchUpdaterThread, start ? (void *)1 : NULL,
                start ? "Error creating thread to start the Updater." : "Error creating thread to stop the Updater.");
}

void ShowStartFailure(const char *text, const char *caption)
{
    std::string message = std::string(text) + "\n\n" + DescribeError(GetLastError());
    MessageBoxA(NULL, message.c_str(), caption, MB_OK | MB_ICONERROR);
}
