// Pages and dialogs made from a template, each with its own state, all run
// by one dialog procedure that hands each message to the window's own
// handlers. A page or dialog gets its state when it is made, keeps it in
// its user data (DWLP_USER) and frees it when it goes. Nothing else of a
// program keeps state in a dialog's user data or properties.
//
// A page is described once, with its state type and its handlers named:
//
//     const PageKind<AdvancedState> kAdvancedPage = {
//         .look = HandlePageMessage, .init = InitAdvancedPage, .command = OnAdvancedCommand};
//
// Handlers take the state by its own type, so a handler of another page,
// or one named for the wrong message, does not compile; PageState gives the
// state back only to the page's own description.
#pragma once

#include <windows.h>

// What every page's handlers share whatever its state: the look, which
// answers first for every message (the colours all a window's pages paint
// alike, say); true when it answered, with the dialog procedure's result in
// *result.
typedef bool (*PageLook)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR *result);

// A page's handlers; any may be left out (NULL). Declare them with
// designated initialisers, in this order.
template <class State> struct PageKind {
    PageLook look = NULL;
    // WM_INITDIALOG; the dialog manager then gives the focus to the first
    // control that takes it.
    void (*init)(HWND page, State &state) = NULL;
    // WM_COMMAND with notification code 0: links, menu items, accelerators
    // and clicked buttons. Other codes are left to the dialog.
    void (*command)(HWND page, State &state, int id) = NULL;
    // WM_NOTIFY; the dialog procedure's result (a result of the
    // notification itself goes into DWLP_MSGRESULT).
    BOOL (*notify)(HWND page, State &state, NMHDR *header) = NULL;
    // WM_CONTEXTMENU over control; true when a menu was shown.
    bool (*contextMenu)(HWND page, State &state, HWND control, LPARAM position) = NULL;
    // WM_PAINT: the page paints what its template has not.
    void (*paint)(HWND page, State &state) = NULL;
    // Any other message (a worker's result, say); true when handled.
    bool (*other)(HWND page, State &state, UINT message, WPARAM wParam, LPARAM lParam) = NULL;
    // The page deletes its state once it is gone (also when no page was
    // made); false for state the caller owns and keeps past the dialog.
    bool ownsState = true;
};

// The dispatcher's side of a page, whatever its state type: the typed
// functions below make one for each kind.
struct PageBinding {
    const void *kind; // the PageKind<State>, which tells one kind from another
    void *state;
    PageLook look;
    // A message for the page's typed handlers; false when none took it.
    bool (*dispatch)(const void *kind, void *state, HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                     INT_PTR *result);
    void (*freeState)(void *state); // NULL when the caller keeps the state
};

HWND CreateBoundPage(HINSTANCE instance, int templateId, HWND parent, const PageBinding &binding);
INT_PTR RunBoundDialog(HINSTANCE instance, int templateId, HWND owner, const PageBinding &binding);
// The state of a page bound to kind; NULL for any other window, a page of
// another kind, or one that has reused a destroyed page's handle.
void *BoundPageState(HWND page, const void *kind);

template <class State>
bool DispatchPage(const void *kind, void *untyped, HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                  INT_PTR *result)
{
    const PageKind<State> &k = *(const PageKind<State> *)kind;
    State &state = *(State *)untyped;
    switch (message) {
    case WM_INITDIALOG:
        if (k.init)
            k.init(page, state);
        *result = TRUE;
        return true;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0 || !k.command)
            return false;
        k.command(page, state, LOWORD(wParam));
        *result = TRUE;
        return true;
    case WM_NOTIFY:
        *result = k.notify ? k.notify(page, state, (NMHDR *)lParam) : FALSE;
        return true;
    case WM_CONTEXTMENU:
        *result = k.contextMenu && k.contextMenu(page, state, (HWND)wParam, lParam);
        return true;
    case WM_PAINT:
        if (!k.paint)
            return false;
        k.paint(page, state);
        *result = TRUE;
        return true;
    }
    *result = k.other && k.other(page, state, message, wParam, lParam);
    return *result != 0;
}

template <class State> void DeletePageState(void *state) { delete (State *)state; }

template <class State> PageBinding BindPage(const PageKind<State> &kind, State *state)
{
    return {&kind, state, kind.look, DispatchPage<State>, kind.ownsState ? DeletePageState<State> : NULL};
}

// Makes the page from template templateId of instance, with state: a child
// of parent, or a modeless window it owns when the template is a pop-up.
// kind must outlive the page (a constant). NULL when the dialog could not
// be made; the state is freed then when the page owns it.
template <class State>
HWND CreatePage(HINSTANCE instance, int templateId, HWND parent, const PageKind<State> &kind, State *state)
{
    return CreateBoundPage(instance, templateId, parent, BindPage(kind, state));
}

// Runs the modal dialog of template templateId over owner, with state, and
// returns what EndDialog was given (-1 when it could not be made); the
// state is freed when the dialog goes when the dialog owns it.
template <class State>
INT_PTR RunDialog(HINSTANCE instance, int templateId, HWND owner, const PageKind<State> &kind, State *state)
{
    return RunBoundDialog(instance, templateId, owner, BindPage(kind, state));
}

// The state of a page made with kind: NULL for any other window, a page of
// another kind, or one that has reused a destroyed page's handle.
template <class State> State *PageState(HWND page, const PageKind<State> &kind)
{
    return (State *)BoundPageState(page, &kind);
}

// Lays the page's controls out to fill width by height pixels, where its
// template's controls keep their places in dialog units measured in the
// template's font at dpiY dots per inch. The first call learns the layout
// (at the scale the page was made at); a later one at another scale gives
// the controls the template's font made for that scale, so that the page
// looks as a page made at that scale would.
void FitPage(HWND page, int width, int height, int dpiY);
