// The account dialog: the user name and password, asked for at the first
// start and by "Change User". Confirming changes them in memory only; OK or
// Apply on the main window saves them.
#include "pages.h"

#include "config_ids.h"
#include "placement.h"

namespace {

// What the dialog reads of each field.
const int kAccountFieldMax = 31;

void FillAccount(HWND dialog, const ConfigApp &app)
{
    CentreWindow(dialog, GetParent(dialog));
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_USER, EM_LIMITTEXT, kAccountFieldMax, 0);
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_PASSWORD, EM_LIMITTEXT, kAccountFieldMax, 0);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_USER, app.userName);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, app.password);
    HWND user = GetDlgItem(dialog, IDC_ACCOUNT_USER);
    SendMessageA(user, EM_SETSEL, 0, -1);
    SetFocus(user);
}

void TakeAccount(HWND dialog, ConfigApp &app)
{
    char text[kAccountFieldMax + 1] = "";
    GetDlgItemTextA(dialog, IDC_ACCOUNT_USER, text, sizeof text);
    lstrcpynA(app.userName, text, sizeof app.userName);
    text[0] = '\0';
    GetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, text, sizeof text);
    lstrcpynA(app.password, text, sizeof app.password);
    SecureZeroMemory(text, sizeof text);
}

INT_PTR CALLBACK AccountProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The dialog is owned, not a child: its state comes as its parameter.
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        FillAccount(dialog, *(const ConfigApp *)lParam);
        return FALSE; // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: // Enter
        case IDC_ACCOUNT_OKAY:
            TakeAccount(dialog, *(ConfigApp *)GetWindowLongPtrA(dialog, DWLP_USER));
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_ACCOUNT_CANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        case IDCANCEL: // Escape does nothing
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

} // namespace

bool RunAccountDialog(ConfigApp &app)
{
    return DialogBoxParamA(app.instance, MAKEINTRESOURCEA(IDD_ACCOUNT), app.window, AccountProc, (LPARAM)&app) == 1;
}
