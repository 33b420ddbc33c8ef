// The message loop and the working-set trim of every program.
#include "program.h"

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
