// AnswerProbe: how quickly a program's main window answers while it works,
// for the measurement scripts. It finds the window by class, optionally
// presses one of its controls (as a click would, once the control is
// usable), then sends WM_NULL every 50 ms and times each answer until the
// work is over or the time is up.
//   AnswerProbe <window class> <seconds> <control id to press, 0 for none> <end>
// where <end> says when the work is over:
//   box          a message box of the program is shown
//   usable:<id>  the control is shown and enabled (its pages and window too)
//   again:<id>   the control was not usable, then is again
// Prints one line: "answers N median M ms worst W ms over1s K seconds S ended
// work-over|time-limit|window-gone".
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

const DWORD kIntervalMs = 50;
// Longer than any time-out of the programs: a window that does not answer
// is measured, not cut short.
const DWORD kAnswerLimitMs = 60000;
const DWORD kFindMs = 30000;

struct ChildSearch {
    int id;
    HWND found;
};

BOOL CALLBACK MatchChild(HWND child, LPARAM parameter)
{
    ChildSearch *search = (ChildSearch *)parameter;
    if (GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

// The control with that id anywhere inside the window (the configuration
// utility keeps its controls on pages, child dialogs of the window).
HWND FindControl(HWND window, int id)
{
    ChildSearch search = {id, NULL};
    EnumChildWindows(window, MatchChild, (LPARAM)&search);
    return search.found;
}

// Shown and enabled, and so is every window it sits in: a disabled page
// disables its controls without changing their own state.
bool Usable(HWND control)
{
    for (HWND w = control; w; w = GetParent(w)) {
        if (!IsWindowVisible(w) || !IsWindowEnabled(w))
            return false;
        if (!(GetWindowLongA(w, GWL_STYLE) & WS_CHILD))
            break;
    }
    return control != NULL;
}

struct BoxSearch {
    DWORD process;
    bool found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM parameter)
{
    BoxSearch *search = (BoxSearch *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char cls[16] = "";
    GetClassNameA(window, cls, sizeof cls);
    // A message box is the dialog with the message text's static, id 65535.
    if (owner == search->process && IsWindowVisible(window) && strcmp(cls, "#32770") == 0 &&
        GetDlgItem(window, 0xFFFF)) {
        search->found = true;
        return FALSE;
    }
    return TRUE;
}

bool MessageBoxShown(DWORD process)
{
    BoxSearch search = {process, false};
    EnumWindows(MatchBox, (LPARAM)&search);
    return search.found;
}

// What ends the measurement, and whether it has come.
struct End {
    enum Kind { Box, UsableControl, UsableAgain } kind;
    int id;
    bool leftUsable; // for UsableAgain: the control was seen not usable
};

bool ParseEnd(const char *text, End &end)
{
    end.leftUsable = false;
    end.id = 0;
    if (strcmp(text, "box") == 0) {
        end.kind = End::Box;
        return true;
    }
    if (strncmp(text, "usable:", 7) == 0 || strncmp(text, "again:", 6) == 0) {
        end.kind = text[0] == 'u' ? End::UsableControl : End::UsableAgain;
        end.id = atoi(strchr(text, ':') + 1);
        return end.id != 0;
    }
    return false;
}

bool Ended(HWND window, DWORD process, End &end)
{
    if (end.kind == End::Box)
        return MessageBoxShown(process);
    bool usable = Usable(FindControl(window, end.id));
    if (end.kind == End::UsableControl)
        return usable;
    if (!usable)
        end.leftUsable = true;
    return end.leftUsable && usable;
}

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)frequency.QuadPart;
}

} // namespace

int main(int argc, char **argv)
{
    End end;
    if (argc != 5 || !ParseEnd(argv[4], end)) {
        fprintf(stderr, "usage: AnswerProbe <window class> <seconds> <control id or 0> box|usable:<id>|again:<id>\n");
        return 2;
    }
    DWORD limitMs = (DWORD)atoi(argv[2]) * 1000;
    int press = atoi(argv[3]);

    HWND window = NULL, control = NULL;
    for (DWORD waited = 0; waited < kFindMs; waited += kIntervalMs) {
        window = FindWindowA(argv[1], NULL);
        control = window && press ? FindControl(window, press) : NULL;
        if (window && (!press || Usable(control)))
            break;
        Sleep(kIntervalMs);
    }
    if (!window || (press && !Usable(control))) {
        fprintf(stderr, "AnswerProbe: no window of class %s%s\n", argv[1], press ? " with that control usable" : "");
        return 1;
    }
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (press)
        PostMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(press, BN_CLICKED), (LPARAM)control);

    LARGE_INTEGER frequency, start, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    std::vector<double> times;
    const char *ended = "time-limit";
    for (;;) {
        QueryPerformanceCounter(&before);
        DWORD_PTR ignored = 0;
        LRESULT answered = SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerLimitMs, &ignored);
        QueryPerformanceCounter(&after);
        times.push_back(Milliseconds(before, after, frequency)); // a wait the window ended counts too
        if (!answered && !IsWindow(window)) {
            ended = "window-gone";
            break;
        }
        if (Ended(window, process, end)) {
            ended = "work-over";
            break;
        }
        if (Milliseconds(start, after, frequency) > limitMs)
            break;
        Sleep(kIntervalMs);
    }
    double seconds = Milliseconds(start, after, frequency) / 1000.0;
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double median = sorted.empty() ? 0 : sorted[sorted.size() / 2];
    double worst = sorted.empty() ? 0 : sorted.back();
    int over = (int)std::count_if(times.begin(), times.end(), [](double t) { return t > 1000.0; });
    printf("answers %d median %.1f ms worst %.1f ms over1s %d seconds %.1f ended %s\n", (int)times.size(), median,
           worst, over, seconds, ended);
    return 0;
}
