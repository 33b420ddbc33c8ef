// Starting a program as the signed-in user from the elevated installer
// (setup_helper.h). A program the installer started itself would inherit
// its administrator rights (and, after an over-the-shoulder consent, the
// administrator's account). The desktop's shell runs unelevated as the
// signed-in user: through its window's view object the installer asks
// that shell to start the program, as if the user had opened it.
#include "setup_helper.h"

#include "error_text.h"
#include "scoped.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include <stdio.h>

namespace {

bool Failed(const char *step, HRESULT result)
{
    printf("The desktop shell could not start the program (%s): Windows %s\n", step,
           DescribeError((DWORD)result).c_str());
    return false;
}

// The desktop shell's own ShellExecute, asked to open the program.
bool AskDesktopShell(const std::string &program)
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
        return Failed("no shell windows", result);
    result = windows->FindWindowSW(&none, &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, (IDispatch **)desktop.out());
    if (result != S_OK || !desktop)
        return Failed("no desktop", FAILED(result) ? result : E_FAIL);
    if (FAILED(result = desktop->QueryInterface(IID_IServiceProvider, provider.out())) ||
        FAILED(result = provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.out())) ||
        FAILED(result = browser->QueryActiveShellView((IShellView **)view.out())) ||
        FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.out())) ||
        FAILED(result = background->QueryInterface(IID_IShellFolderViewDual, folderView.out())) ||
        FAILED(result = folderView->get_Application((IDispatch **)application.out())) ||
        FAILED(result = application->QueryInterface(IID_IShellDispatch2, shell.out())))
        return Failed("no shell object", result);
    int length = MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, NULL, 0);
    BSTR file = SysAllocStringLen(NULL, length > 0 ? length - 1 : 0);
    if (!file)
        return Failed("no memory", E_OUTOFMEMORY);
    MultiByteToWideChar(CP_ACP, 0, program.c_str(), -1, file, length);
    VARIANT show;
    VariantInit(&show);
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    result = shell->ShellExecute(file, none, none, none, show);
    SysFreeString(file);
    return SUCCEEDED(result) || Failed("start refused", result);
}

} // namespace

bool StartThroughDesktopShell(const std::string &program)
{
    ScopedCom com;
    return AskDesktopShell(program);
}
