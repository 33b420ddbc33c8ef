// One dialog procedure for every page and dialog: it finds the window's
// binding (its kind, state and typed handlers) in the window's user data.
#include "page_dialog.h"

namespace {

struct Page {
    PageBinding binding;
    // The maker's flag, set when the dialog takes the page at WM_INITDIALOG:
    // from then on the dialog frees the page, and the maker must not read
    // the page again, since the dialog may be gone when its call returns.
    bool *taken;
};

Page *PageOf(HWND page) { return (Page *)GetWindowLongPtrA(page, DWLP_USER); }

void Free(Page *page)
{
    if (page->binding.freeState)
        page->binding.freeState(page->binding.state);
    delete page;
}

INT_PTR Dispatch(HWND window, const Page &page, UINT message, WPARAM wParam, LPARAM lParam)
{
    const PageBinding &b = page.binding;
    INT_PTR result = 0;
    if (b.look && b.look(window, message, wParam, lParam, &result))
        return result;
    return b.dispatch(b.kind, b.state, window, message, wParam, lParam, &result) ? result : FALSE;
}

INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        Page *page = (Page *)lParam;
        *page->taken = true;
        page->taken = NULL;
        SetWindowLongPtrA(window, DWLP_USER, (LONG_PTR)page);
        // The look does not see WM_INITDIALOG: the page's own init comes first.
        INT_PTR result = TRUE;
        page->binding.dispatch(page->binding.kind, page->binding.state, window, message, wParam, lParam, &result);
        return result;
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
template <class Make> auto WithPage(const PageBinding &binding, Make make)
{
    bool taken = false;
    Page *page = new Page{binding, &taken};
    auto result = make((LPARAM)page);
    if (!taken)
        Free(page);
    return result;
}

} // namespace

HWND CreateBoundPage(HINSTANCE instance, int templateId, HWND parent, const PageBinding &binding)
{
    return WithPage(binding, [&](LPARAM page) {
        return CreateDialogParamA(instance, MAKEINTRESOURCEA(templateId), parent, PageProc, page);
    });
}

INT_PTR RunBoundDialog(HINSTANCE instance, int templateId, HWND owner, const PageBinding &binding)
{
    return WithPage(binding, [&](LPARAM page) {
        return DialogBoxParamA(instance, MAKEINTRESOURCEA(templateId), owner, PageProc, page);
    });
}

void *BoundPageState(HWND page, const void *kind)
{
    const Page *bound = BoundPage(page);
    return bound && bound->binding.kind == kind ? bound->binding.state : NULL;
}
