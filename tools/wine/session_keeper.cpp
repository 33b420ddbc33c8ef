// SessionKeeper: holds Wine's desktop open for a whole test session.
// Wine starts its desktop process for the first program that uses windows
// and ends it a second after the last one leaves; a test runner would then
// wait that second for every test, on the output pipes the desktop process
// inherited. This program keeps one window, so the desktop stays up until
// the session stops Wine.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    HWND window = CreateWindowExA(0, "STATIC", "Talvex session keeper", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    MSG msg;
    while (window && GetMessageA(&msg, NULL, 0, 0) > 0)
        DispatchMessageA(&msg);
    return 0;
}
