// The icon record: the settings snapshot, the tooltip text and every
// request to the shell.
#pragma once

#include "tray_state.h"

#include <stddef.h>

void ReadSettings(TrayState &state);
// "Talvex Updater\n Last Update: ... \n Latest IP Address: ..." cut to fit
// `size` bytes (terminator included) instead of failing.
void FormatTooltip(const char *lastUpdate, const char *lastIp, char *tip, size_t size);
// Loads the icon's image at the small-icon size of the notification
// area's scale; true when it changed (the first time, or the scale did).
bool PickIconImage(TrayState &state);
// First display and after the shell restarts (which it also does when its
// scale changes): the image for the scale, the tip, the callback.
void AddIcon(TrayState &state);
void RefreshIcon(TrayState &state); // re-read the settings and update the tip
void RemoveIcon(TrayState &state);
void ShowBalloon(TrayState &state, const char *text, DWORD kind);
void ShowResultBalloon(TrayState &state, int code);
