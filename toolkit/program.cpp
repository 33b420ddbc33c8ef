// The message loop, the working-set trim and the updater switch of every
// program.
#include "program.h"

#include "scoped.h"
#include "tallib.h"

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

} // namespace

void SwitchUpdaterInBackground(bool start)
{
    void *parameter = start ? (void *)1 : NULL;
    ScopedHandle worker(CreateThread(NULL, 0, SwitchUpdaterThread, parameter, 0, NULL));
    if (!worker) // no thread to be had: better late than never
        SwitchUpdaterThread(parameter);
}
