// One dialog procedure for every page and dialog: it finds the window's
// handlers and state in the window's user data.
#include "page_dialog.h"

namespace {

struct Page {
    const PageHandlers *handlers;
    void *state;
    // The maker's flag, set when the dialog takes the page at WM_INITDIALOG:
    // from then on the dialog frees the page, and the maker must not read
    // the page again, since the dialog may be gone when its call returns.
    bool *taken;
};

Page *PageOf(HWND page) { return (Page *)GetWindowLongPtrA(page, DWLP_USER); }

void Free(Page *page)
{
    if (page->handlers->freeState)
        page->handlers->freeState(page->state);
    delete page;
}

INT_PTR Dispatch(HWND window, const Page &page, UINT message, WPARAM wParam, LPARAM lParam)
{
    const PageHandlers &h = *page.handlers;
    INT_PTR result = 0;
    if (h.look && h.look(window, message, wParam, lParam, &result))
        return result;
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != 0 || !h.command)
            return FALSE;
        h.command(window, page.state, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        return h.notify ? h.notify(window, page.state, (NMHDR *)lParam) : FALSE;
    case WM_CONTEXTMENU:
        return h.contextMenu && h.contextMenu(window, page.state, (HWND)wParam, lParam);
    case WM_PAINT:
        if (!h.paint)
            return FALSE;
        h.paint(window, page.state);
        return TRUE;
    }
    return h.other && h.other(window, page.state, message, wParam, lParam);
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        Page *page = (Page *)lParam;
        *page->taken = true;
        page->taken = NULL;
        SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)page);
        if (page->handlers->init)
            page->handlers->init(window, page->state);
        return TRUE;
    }
    Page *page = PageOf(window);
    if (!page)
        return FALSE; // before WM_INITDIALOG
    if (message == WM_NCDESTROY) {
        // The last message: the state goes with the page.
        SetWindowLongPtrA(window, DWLP_USER, 0);
        Free(page);
        return FALSE;
    }
    return Dispatch(window, *page, message, wParam, lParam);
}

// The page behind a window of PageProc; NULL for any other window.
const Page *BoundPage(HWND window)
{
    if (!window || GetWindowLongPtrA(window, DWLP_DLGPROC) != (LONG_PTR)PageProc)
        return NULL;
    return PageOf(window);
}

// Hands a new page record to make, which makes the dialog with it as its
// parameter; frees the record when the dialog never took it.
template <class Make> auto WithPage(const PageHandlers &handlers, void *state, Make make)
{
    bool taken = false;
    Page *page = new Page{&handlers, state, &taken};
    auto result = make((LPARAM)page);
    if (!taken)
        Free(page);
    return result;
}

} // namespace

HWND CreatePage(HINSTANCE instance, int templateId, HWND parent, const PageHandlers &handlers, void *state)
{
    return WithPage(handlers, state, [&](LPARAM page) {
        return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, PageProc, page);
    });
}

INT_PTR RunDialog(HINSTANCE instance, int templateId, HWND owner, const PageHandlers &handlers, void *state)
{
    return WithPage(handlers, state, [&](LPARAM page) {
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, PageProc, page);
    });
}

void *PageState(HWND page)
{
    const Page *bound = BoundPage(page);
    return bound ? bound->state : NULL;
}

void *PageState(HWND page, const PageHandlers &handlers)
{
    const Page *bound = BoundPage(page);
    return bound && bound->handlers == &handlers ? bound->state : NULL;
}
