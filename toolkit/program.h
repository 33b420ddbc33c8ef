// What every program's main thread does alike: its message loop, giving
// its working set back to the system between bursts of work, and starting
// or stopping the updater without waiting on it.
#pragma once

#include <windows.h>

// Runs the thread's message loop until WM_QUIT and returns its code. With a
// window, Tab, the arrow keys, mnemonics and Enter move through it and its
// child dialogs as in a dialog.
int RunMessageLoop(HWND dialogKeys);

// Gives the process's working set back to the system (after start-up and
// after each burst of work); Wine accepts the call and changes nothing.
void TrimWorkingSet();

// Starts or stops the updater (StartUpdater, StopUpdater) on a worker: with
// the service installed TalLib waits for the service controller's answer,
// which a window thread must not do.
// When no worker can be started, the log says so and nothing is switched.
void SwitchUpdaterInBackground(bool start);
// After a critical stop was lifted: a running updater re-reads its settings
// and runs a pass; a stopped one is started and runs its first.
void ReactivateUpdaterInBackground();

// A program that cannot start shows why in a message box with no owner:
// its fixed text, then the Windows error of the call that just failed.
void ShowStartFailure(const char *text, const char *caption);
