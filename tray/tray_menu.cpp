// The icon's pop-up menu (resource 104), set for the updater's state.
#include "tray_menu.h"

#include "resource.h"
#include "scoped.h"
#include "tallib.h"

HMENU LoadTrayMenu(HINSTANCE instance, bool active)
{
    ScopedMenu menu(LoadMenuA(instance, MAKEINTRESOURCEA(IDR_TRAY_MENU)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : NULL;
    if (!popup)
        return NULL;
    // Detach the pop-up so that the caller owns exactly what it shows.
    RemoveMenu(menu.get(), 0, MF_BYPOSITION);
    const UINT off = MF_BYCOMMAND | MF_DISABLED | MF_GRAYED, on = MF_BYCOMMAND | MF_ENABLED;
    EnableMenuItem(popup, IDM_START_UPDATER, active ? off : on);
    EnableMenuItem(popup, IDM_STOP_UPDATER, active ? on : off);
    return popup;
}

void ShowTrayMenu(TrayState &state)
{
    ScopedMenu popup(LoadTrayMenu(state.instance, GetActive() != 0));
    if (!popup)
        return;
    POINT at = {};
    GetCursorPos(&at);
    // The menu closes when the user clicks elsewhere only if its owner is
    // the foreground window, which a message-only window can never be: the
    // top-level watch window owns it and the chosen command goes to the
    // icon's window as any menu command would. WM_NULL afterwards lets the
    // next menu open.
    HWND owner = UiOwner(state);
    SetForegroundWindow(owner);
    UINT flags = TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
    UINT id = (UINT)TrackPopupMenu(popup.get(), flags, at.x, at.y, 0, owner, NULL);
    PostMessageA(owner, WM_NULL, 0, 0);
    if (id)
        PostMessageA(state.window, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}
