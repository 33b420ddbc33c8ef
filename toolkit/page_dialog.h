// Pages: child dialogs made from a template, each with its own state, all
// run by one dialog procedure that hands each message to the page's own
// handlers. A page gets its state when it is made, keeps it in its user
// data (DWLP_USER) and frees it when it goes.
#pragma once

#include <windows.h>

// A page's handlers; any may be NULL. Each gets the page's state.
struct PageHandlers {
    // First, for every message once the page has its state: what all the
    // window's pages do alike (their colours, say). True when it answered,
    // with the dialog procedure's result in *result.
    bool (*look)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);
    // WM_INITDIALOG.
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

// Makes the page from template templateId of instance as a child of
// parent, with state. handlers must outlive the page (a constant table).
// NULL when the dialog could not be made; the state is freed then.
HWND CreatePage(HINSTANCE instance, int templateId, HWND parent, const PageHandlers &handlers, void *state);

// The state a page was made with; NULL for a window that is no page.
void *PageState(HWND page);
