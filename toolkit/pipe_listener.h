// The reader of one of the suite's named pipes, shared by the notification
// icon and the configuration utility: a thread of its own for the life of
// the program that hands every message to the program's window by posting.
#pragma once

#include <windows.h>

struct PipeListenerSettings {
    // The suite's name of the pipe; the listener serves its session's own
    // pipe of that name (session_pipe.h).
    const char *pipeName;
    // Names the program in the log record about a pipe name held by
    // another program ("Tray Icon", "Configuration").
    const char *owner;
    HWND window;
    // On the listener thread, for each message (zero-terminated, at most
    // kPipeMaxMessage bytes, never empty): posts what the message means to
    // `window`, and touches nothing else.
    void (*post)(HWND window, const char *text);
    // When not NULL, called on the listener thread about every idleMs,
    // whether or not messages arrive.
    void (*idle)(HWND window);
    DWORD idleMs;
};

// Starts the listener thread. Several instances of the pipe wait at once,
// so writers arriving together are all served; each read has a time limit,
// so a client that connects and says nothing holds one instance for a
// second at most; remote clients are refused; the pipe carries the suite's
// explicit security descriptor. When another program holds the name, that
// is logged once and the listener tries again now and then, quietly; the
// program goes on without the pipe meanwhile. False when the listener
// could not be started; the log then says why, naming the owner.
bool StartPipeListener(const PipeListenerSettings &settings);
