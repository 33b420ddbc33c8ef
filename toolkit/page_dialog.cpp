// One dialog procedure for every page: it finds the page's handlers and
// state in the page's user data.
#include "page_dialog.h"

namespace {

struct Page {
    const PageHandlers *handlers;
    void *state;
    bool bound; // the dialog took it at WM_INITDIALOG
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
        page->bound = true;
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

} // namespace

HWND CreatePage(HINSTANCE instance, int templateId, HWND parent, const PageHandlers &handlers, void *state)
{
    Page *page = new Page{&handlers, state, false};
    HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, PageProc, (LPARAM)page);
    // A dialog that took its state frees it when it goes.
    if (!window && !page->bound)
        Free(page);
    return window;
}

void *PageState(HWND page)
{
    if (!page || GetWindowLongPtrA(page, DWLP_DLGPROC) != (LONG_PTR)PageProc)
        return NULL;
    Page *bound = PageOf(page);
    return bound ? bound->state : NULL;
}
