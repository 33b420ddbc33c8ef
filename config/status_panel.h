// The status panel: the status rule, the label and picture of each status,
// what a click on the picture explains, and the updater's running state.
#pragma once

#include "config_state.h"

// The status rule without any I/O: what ApplyStatus shows for a request.
// `active` and `stored` are asked for only when the rule needs them.
int DecideStatus(int requested, bool accountEmpty, int (*active)(), int (*stored)());
const char *StatusLabel(int code);
PictureIndex StatusPicture(int code);

// Shows the status the rule decides for requested, at once.
void ApplyStatus(ConfigApp &app, int requested);
void SetStatusLabel(ConfigApp &app);                 // control 204 from the status code
void OnStatusClick(ConfigApp &app);                  // command 203
void OnStatusChanged(ConfigApp &app);                // WM_USER 139
void OnUpdaterActivity(ConfigApp &app, int running); // kMsgUpdaterActivity
