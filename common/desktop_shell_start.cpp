// Starting a program as the signed-in user from an elevated program
// (desktop_shell_start.h). A program an elevated one starts itself
// inherits its administrator rights (and, after an over-the-shoulder
// consent, the administrator's account). The desktop's shell runs
// unelevated as the signed-in user: through its window's view object the
// caller asks that shell to start the program, as if the user had opened it.
#include "desktop_shell_start.h"

#include "error_text.h"
#include "scoped.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

namespace {

bool Failed(std::string &why, const char *step, HRESULT result)
{
    why = std::string("the desktop shell could not start it (") + step + "): Windows " + DescribeError((DWORD)result);
    return false;
}

// A narrow text as a variant holding a BSTR; an empty variant for NULL.
bool TextVariant(const char *text, VARIANT &variant)
{
    VariantInit(&variant);
    if (!text)
        return true;
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, NULL, 0);
    BSTR wide = SysAllocStringLen(NULL, length > 0 ? length - 1 : 0);
    if (!wide)
        return false;
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide, length);
    variant.vt = VT_BSTR;
    variant.bstrVal = wide;
    return true;
}

// The desktop shell's own ShellExecute, asked to open the program.
bool AskDesktopShell(const char *program, const char *parameters, int show, std::string &why)
{
    ComPtr<IShellWindows> windows;
    ComPtr<IDispatch> desktop;
    ComPtr<IServiceProvider> provider;
    ComPtr<IShellBrowser> browser;
    ComPtr<IShellView> view;
    ComPtr<IDispatch> background;
    ComPtr<IShellFolderViewDual> folderView;
    ComPtr<IDispatch> application;
    ComPtr<IShellDispatch2> shell;
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    HRESULT result = CoCreateInstance(CLSID_ShellWindows, NULL, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                      windows.out());
    if (FAILED(result))
        return Failed(why, "no shell windows", result);
    result = windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, (IDispatch **)desktop.out());
    if (result != S_OK || !desktop)
        return Failed(why, "no desktop", FAILED(result) ? result : E_FAIL);
    if (FAILED(result = desktop->QueryInterface(IID_IServiceProvider, provider.out())) ||
        FAILED(result = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out())) ||
        FAILED(result = browser->QueryActiveShellView((IShellView **)view.out())) ||
        FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out())) ||
        FAILED(result = background->QueryInterface(IID_IShellFolderViewDual, folderView.out())) ||
        FAILED(result = folderView->get_Application((IDispatch **)application.out())) ||
        FAILED(result = application->QueryInterface(IID_IShellDispatch2, shell.out())))
        return Failed(why, "no shell object", result);
    VARIANT arguments, verb, state;
    int length = MultiByteToWideChar(CP_ACP, 0, program, -1, NULL, 0);
    BSTR file = SysAllocStringLen(NULL, length > 0 ? length - 1 : 0);
    if (!file || !TextVariant(parameters, arguments)) {
        SysFreeString(file);
        return Failed(why, "no memory", E_OUTOFMEMORY);
    }
    MultiByteToWideChar(CP_ACP, 0, program, -1, file, length);
    TextVariant("open", verb);
    VariantInit(&state);
    state.vt = VT_I4;
    state.lVal = show;
    // No working folder: the program runs in the shell's, so it never
    // holds its own folder (which an uninstallation removes).
    result = verb.vt == VT_BSTR ? shell->ShellExecute(file, arguments, none, verb, state) : E_OUTOFMEMORY;
    SysFreeString(file);
    VariantClear(&arguments);
    VariantClear(&verb);
    return SUCCEEDED(result) || Failed(why, "start refused", result);
}

} // namespace

bool ProcessIsElevated()
{
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()))
        return true; // unknown: treated as elevated, so nothing inherits rights by mistake
    TOKEN_ELEVATION elevation = {};
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) ||
        !GetTokenInformation(token.get(), TokenElevationType, &type, sizeof type, &size))
        return true;
    if (elevation.TokenIsElevated || type == TokenElevationTypeFull)
        return true;
    // No split token (user account control off): an administrator's token
    // holds the rights itself.
    BYTE administrators[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof administrators;
    BOOL member = FALSE;
    return type == TokenElevationTypeDefault &&
           CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, administrators, &sidSize) &&
           CheckTokenMembership(NULL, administrators, &member) && member;
}

bool StartThroughDesktopShell(const char *program, const char *parameters, int show, std::string &why)
{
    ScopedCom com;
    if (!com.ok())
        return Failed(why, "no COM", E_FAIL);
    return AskDesktopShell(program, parameters, show, why);
}
