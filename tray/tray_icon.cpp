// The icon record: settings snapshot, tooltip text and the requests to the
// shell. Called on the window thread only.
#include "tray_icon.h"

#include "tray_messages.h"
#include "resource.h"
#include "config_keys.h"
#include "tallib.h"

#include "screen_scale.h"

#include <string.h>

#include <utility>

// The shell's record in the form the product was made for.
static_assert(sizeof(void *) != 4 || NOTIFYICONDATAA_V2_SIZE == 488, "the 488-byte icon record");

namespace {

// Copies at most size - 1 bytes and always terminates.
void CopyCut(char *out, size_t size, const char *text)
{
    size_t n = strlen(text);
    if (n > size - 1)
        n = size - 1;
    memcpy(out, text, n);
    out[n] = '\0';
}

// The fields every add or modify request carries.
void FillRecord(TrayState &state)
{
    NOTIFYICONDATAA &r = state.record;
    r.cbSize = NOTIFYICONDATAA_V2_SIZE; // 488 bytes in the 32-bit product
    r.hWnd = state.window;
    r.uID = kTrayIconId;
    r.uCallbackMessage = kTrayCallback;
    r.hIcon = state.icon.get();
    FormatTooltip(state.settings.lastUpdate, state.settings.lastIp, r.szTip, sizeof r.szTip);
}

} // namespace

void ReadSettings(TrayState &state)
{
    TraySettings &s = state.settings;
    const char *path = state.configPath;
    Profile_ReadText(path, kSectionApp, kKeyLastUpdate, "Never", s.lastUpdate, sizeof s.lastUpdate);
    Profile_ReadText(path, kSectionApp, kKeyLastIP, "None", s.lastIp, sizeof s.lastIp);
    s.notify = Profile_ReadInt(path, kSectionApp, kKeyNotify, 1);
    s.upgrade = Profile_ReadInt(path, kSectionApp, kKeyUpgrade, 1);
    s.fresh = Profile_ReadInt(path, kSectionApp, kKeyFresh, 0);
}

void FormatTooltip(const char *lastUpdate, const char *lastIp, char *tip, size_t size)
{
    if (!tip || size == 0)
        return;
    // Both values are under 64 bytes, so the whole text fits here; the
    // tip then takes as much of it as its room allows.
    char whole[64 * 2 + 128];
    whole[0] = '\0';
    strcat(whole, kTrayCaption);
    strcat(whole, "\n Last Update: ");
    strncat(whole, lastUpdate, 63);
    strcat(whole, " \n Latest IP Address: ");
    strncat(whole, lastIp, 63);
    CopyCut(tip, size, whole);
}

bool PickIconImage(TrayState &state)
{
    // The notification area is the taskbar's: its scale is the one that
    // counts, whatever the scale of this program's own hidden windows.
    int size = MetricForWindow(SM_CXSMICON, FindWindowA("Shell_TrayWnd", NULL));
    if (state.icon && size == state.iconSize)
        return false;
    // Not shared: a shared icon keeps the first size it was loaded at.
    ScopedIcon icon((HICON)LoadImageA(state.instance, MAKEINTRESOURCEA(IDI_TRAY_ICON), IMAGE_ICON, size, size, 0));
    if (!icon)
        return false;
    state.icon = std::move(icon); // the shell copies the image it is given
    state.iconSize = size;
    return true;
}

void AddIcon(TrayState &state)
{
    PickIconImage(state);
    ReadSettings(state);
    state.record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    FillRecord(state);
    // Modify first, then add: one of the two succeeds whether or not the
    // shell still knows the icon (first display, or a restarted shell).
    if (!Shell_NotifyIconA(NIM_MODIFY, &state.record))
        Shell_NotifyIconA(NIM_ADD, &state.record);
}

void RefreshIcon(TrayState &state)
{
    ReadSettings(state);
    FillRecord(state);
    // A shell that never had the icon (it was not running at our start and
    // has not announced itself since) gets it added now.
    if (!Shell_NotifyIconA(NIM_MODIFY, &state.record))
        AddIcon(state);
}

void RemoveIcon(TrayState &state)
{
    if (state.window)
        Shell_NotifyIconA(NIM_DELETE, &state.record);
}

void ShowBalloon(TrayState &state, const char *text, DWORD kind)
{
    NOTIFYICONDATAA &r = state.record;
    FillRecord(state);
    CopyCut(r.szInfoTitle, sizeof r.szInfoTitle, kTrayCaption);
    r.uFlags |= NIF_INFO;
    r.uTimeout = 0; // the system's minimum
    r.dwInfoFlags = kind;
    CopyCut(r.szInfo, sizeof r.szInfo, text);
    Shell_NotifyIconA(NIM_MODIFY, &r);
    // Later requests carry an empty balloon text, which takes down a
    // balloon still on show.
    r.szInfo[0] = '\0';
}

void ShowResultBalloon(TrayState &state, int code)
{
    char text[kBalloonSize] = "";
    int kind = (int)kBalloonInfo;
    GetBalloonMessage((unsigned)code, text, (int)sizeof text, &kind);
    // This balloon replaces a new-version one: a click on it must not
    // start the upgrade assistant.
    state.upgradePending = false;
    ShowBalloon(state, text, (DWORD)kind);
}
