// What a screen reader is told of a control the program draws itself: the
// control answers WM_GETOBJECT for its client object with the system's
// standard object, its name, role and state replaced. Attached through the
// system's subclassing; nothing is kept once the control is gone.
#pragma once

#include <windows.h>
#include <oleacc.h> // the roles

// control is read as a push button or a link (ROLE_SYSTEM_PUSHBUTTON,
// ROLE_SYSTEM_LINK), named by its own text, or by nameFrom's text when
// nameFrom is given (a picture's hot spot named by the label beside it).
// Its state says disabled, focused and, for a button, pressed while
// pressed says so (may be NULL).
void AttachAccessibleControl(HWND control, long role, HWND nameFrom, bool (*pressed)(HWND control));
// A report-view list whose rows have check boxes: each row is read as a
// check box named by the text of column nameColumn, checked or not.
void AttachAccessibleCheckList(HWND list, int nameColumn);
