// The account dialog: the user name and password, asked for at the first
// start and by "Change User". Confirming changes them in memory only; OK or
// Apply on the main window saves them.
#include "account_dialog.h"

#include "config_ids.h"
#include "page_common.h"
#include "placement.h"

namespace {

// What the dialog reads of each field.
const int kAccountFieldMax = 31;

void FillAccount(HWND dialog, const ConfigSettings &settings)
{
    CentreWindow(dialog, GetParent(dialog));
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_USER, EM_LIMITTEXT, kAccountFieldMax, 0);
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_PASSWORD, EM_LIMITTEXT, kAccountFieldMax, 0);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_USER, settings.userName);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, settings.password);
    HWND user = GetDlgItem(dialog, IDC_ACCOUNT_USER);
    SendMessageA(user, EM_SETSEL, 0, -1);
    SetFocus(user);
}

void TakeAccount(HWND dialog, ConfigSettings &settings)
{
    char text[kAccountFieldMax + 1] = "";
    GetDlgItemTextA(dialog, IDC_ACCOUNT_USER, text, sizeof text);
    lstrcpynA(settings.userName, text, sizeof settings.userName);
    text[0] = '\0';
    GetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, text, sizeof text);
    lstrcpynA(settings.password, text, sizeof settings.password);
    SecureZeroMemory(text, sizeof text);
}

INT_PTR CALLBACK AccountProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        // The dialog is owned, not a child: its state comes as its parameter.
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        FillAccount(dialog, *(const ConfigSettings *)lParam);
        return FALSE; // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK: // Enter
        case IDC_ACCOUNT_OKAY:
            TakeAccount(dialog, *(ConfigSettings *)GetWindowLongPtrA(dialog, DWLP_USER));
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

bool RunAccountDialog(HWND owner, ConfigSettings &settings)
{
    return DialogBoxParamA(InstanceOf(owner), MAKEINTRESOURCEA(IDD_ACCOUNT), owner, AccountProc, (LPARAM)&settings) == 1;
}
