// The account dialog: the user name and password, asked for at the first
// start and by "Change User". Confirming changes them in memory only; OK or
// Apply on the main window saves them.
#include "account_dialog.h"

#include "config_ids.h"
#include "page_common.h"
#include "page_dialog.h"
#include "placement.h"

namespace {

// What the dialog reads of each field.
const int kAccountFieldMax = 31;

// The user name field, the first to take the focus, gets it with its text
// selected from the dialog manager.
void FillAccount(HWND dialog, ConfigSettings &settings)
{
    CentreWindow(dialog, GetParent(dialog));
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_USER, EM_LIMITTEXT, kAccountFieldMax, 0);
    SendDlgItemMessageA(dialog, IDC_ACCOUNT_PASSWORD, EM_LIMITTEXT, kAccountFieldMax, 0);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_USER, settings.userName);
    SetDlgItemTextA(dialog, IDC_ACCOUNT_PASSWORD, settings.password);
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

// Escape (IDCANCEL) does nothing: only the Cancel button cancels.
void OnAccountCommand(HWND dialog, ConfigSettings &settings, int id)
{
    switch (id) {
    case IDOK: // Enter
    case IDC_ACCOUNT_OKAY:
        TakeAccount(dialog, settings);
        EndDialog(dialog, 1);
        break;
    case IDC_ACCOUNT_CANCEL:
        EndDialog(dialog, 0);
        break;
    }
}

// The state is the caller's settings, which outlive the dialog.
const PageKind<ConfigSettings> kAccountDialog = {.init = FillAccount, .command = OnAccountCommand, .ownsState = false};

} // namespace

bool RunAccountDialog(HWND owner, ConfigSettings &settings)
{
    return RunDialog(InstanceOf(owner), IDD_ACCOUNT, owner, kAccountDialog, &settings) == 1;
}
