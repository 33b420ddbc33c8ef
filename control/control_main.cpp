// TalUpControl: starts, stops or passes a control code to the updater
// service "Talvex Updater", then exits with 0 (done) or, when it failed,
// with the Windows error of the step that failed (never 0), which its
// caller turns into words and logs. It runs elevated, shows no window,
// writes no log and links nothing of TalLib.
#include "scoped.h"
#include "signals.h"

#include <windows.h>
#include <winsvc.h>

#include <limits.h>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The whole text after the program name is one argument. The name ends at
// its closing quote when it starts with one, else at the first blank.
const char *ArgumentText()
{
    const char *p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"')
            ++p;
        if (*p == '"')
            ++p;
    } else {
        while (*p && !IsBlank(*p))
            ++p;
    }
    while (IsBlank(*p))
        ++p;
    return p;
}

// Reads a signed decimal number as atoi does: leading white space and one
// sign allowed, reading stops at the first non-digit, no digits give 0.
// Out-of-range values are held at the ends of the range instead of
// wrapping, so no long number turns into a small, valid code.
long ReadCode(const char *text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        if (value <= (long long)LONG_MAX + 1)
            value = value * 10 + (*text - '0');
    }
    if (negative)
        value = -value;
    if (value > LONG_MAX)
        value = LONG_MAX;
    if (value < LONG_MIN)
        value = LONG_MIN;
    return (long)value;
}

// The one right a control code needs on the service; the manager refuses
// a code outside these whatever the rights.
DWORD ControlRight(DWORD code)
{
    switch (code) {
    case SERVICE_CONTROL_STOP: return SERVICE_STOP;
    case SERVICE_CONTROL_PAUSE:
    case SERVICE_CONTROL_CONTINUE: return SERVICE_PAUSE_CONTINUE;
    case SERVICE_CONTROL_INTERROGATE: return SERVICE_INTERROGATE;
    default: return SERVICE_USER_DEFINED_CONTROL;
    }
}

// One operation on the service; 0 when the manager accepted it, else the
// Windows error of the step that failed. Only
// the rights of that operation are asked for: connecting to the manager,
// and starting the service or sending it the one code.
DWORD Operate(const char *argument)
{
    const bool start = lstrcmpiA(argument, "start") == 0;
    DWORD code = lstrcmpiA(argument, "stop") == 0 ? (DWORD)kServiceControlStop : (DWORD)ReadCode(argument);
    ScopedService manager(OpenSCManagerA(NULL, NULL, SC_MANAGER_CONNECT));
    DWORD rights = start ? SERVICE_START : ControlRight(code);
    ScopedService service(manager ? OpenServiceA(manager.get(), kServiceName, rights) : NULL);
    SERVICE_STATUS status; // what the manager answers is not used
    bool done = service && (start ? StartServiceA(service.get(), 0, NULL) != 0
                                  : ControlService(service.get(), code, &status) != 0);
    DWORD error = done ? 0 : GetLastError();
    return done || error ? error : ERROR_GEN_FAILURE;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return (int)Operate(ArgumentText()); }
