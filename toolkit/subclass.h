// A control's own behaviour on top of its window class, through the
// system's subclassing (SetWindowSubclass): any number of behaviours may
// share a window, each with its own state, which is freed when the window
// is destroyed.
#pragma once

#include <windows.h>

// Handles one message for a behaviour; calls DefSubclassProc for what it
// leaves to the window.
typedef LRESULT (*BehaviourProc)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, void *state);

// Attaches proc with state to window under id. freeState (may be NULL) is
// called with state once the window is destroyed, or at once when the
// behaviour cannot be attached. Attaching the same id again replaces the
// earlier behaviour and frees its state.
bool AttachBehaviour(HWND window, UINT_PTR id, BehaviourProc proc, void *state, void (*freeState)(void *));
// The state attached to window under id; NULL when there is none.
void *BehaviourState(HWND window, UINT_PTR id);
