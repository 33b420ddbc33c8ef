// The icon record: the settings snapshot, the tooltip text and every
// request to the shell.
#pragma once

#include "tray_state.h"

#include <stddef.h>

void ReadSettings(TrayState &state);
// "Talvex Updater\n Last Update: ... \n Latest IP Address: ..." cut to fit
// `size` bytes (terminator included) instead of failing.
void FormatTooltip(const char *lastUpdate, const char *lastIp, char *tip, size_t size);
void AddIcon(TrayState &state);     // first display and after the shell restarts
void RefreshIcon(TrayState &state); // re-read the settings and update the tip
void RemoveIcon(TrayState &state);
void ShowBalloon(TrayState &state, const char *text, DWORD kind);
void ShowResultBalloon(TrayState &state, int code);
