// Pages and dialogs made from a template, each with its own state, all run
// by one dialog procedure that hands each message to the window's own
// handlers. A page or dialog gets its state when it is made, keeps it in
// its user data (DWLP_USER) and frees it when it goes. Nothing else of a
// program keeps state in a dialog's user data or properties.
#pragma once

#include <windows.h>

// A page's handlers; any may be NULL. Each gets the page's state.
struct PageHandlers {
    // First, for every message once the page has its state: what all the
    // window's pages do alike (their colours, say). True when it answered,
    // with the dialog procedure's result in *result.
    bool (*look)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
    // WM_INITDIALOG; the dialog manager then gives the focus to the first
    // control that takes it.
    void (*init)(HWND page, void *state);
    // WM_COMMAND with notification code 0: links, menu items, accelerators
    // and clicked buttons. Other codes are left to the dialog.
    void (*command)(HWND page, void *state, int id);
    // WM_NOTIFY; the dialog procedure's result (a result of the
    // notification itself goes into DWLP_MSGRESULT).
    BOOL (*notify)(HWND page, void *state, NMHDR *header);
    // WM_CONTEXTMENU over control; true when a menu was shown.
    bool (*contextMenu)(HWND page, void *state, HWND control, LPARAM position);
    // WM_PAINT: the page paints what its template has not.
    void (*paint)(HWND page, void *state);
    // Any other message (a worker's result, say); true when handled.
    bool (*other)(HWND page, void *state, UINT message, WPARAM wParam, LPARAM lParam);
    // Frees the state once the page is gone; also when no page was made.
    void (*freeState)(void *state);
};

// Makes the page from template templateId of instance, with state: a child
// of parent, or a modeless window it owns when the template is a pop-up.
// handlers must outlive the page (a constant table). NULL when the dialog
// could not be made; the state is freed then.
HWND CreatePage(HINSTANCE instance, int templateId, HWND parent, const PageHandlers &handlers, void *state);
// Runs the modal dialog of template templateId over owner, with state, and
// returns what EndDialog was given (-1 when it could not be made); the
// state is freed when the dialog goes.
INT_PTR RunDialog(HINSTANCE instance, int templateId, HWND owner, const PageHandlers &handlers, void *state);

// Lays the page's controls out to fill width by height pixels, where its
// template's controls keep their places in dialog units measured in the
// template's font at dpiY dots per inch. The first call learns the layout
// (at the scale the page was made at); a later one at another scale gives
// the controls the template's font made for that scale, so that the page
// looks as a page made at that scale would.
void FitPage(HWND page, int width, int height, int dpiY);

// The state a page was made with; NULL for a window that is no page.
void *PageState(HWND page);
// The same, only for a page made with handlers: NULL for any other window,
// a page of another kind, or one that has reused a destroyed page's handle.
void *PageState(HWND page, const PageHandlers &handlers);
