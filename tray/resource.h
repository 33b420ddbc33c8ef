// Resource and command identifiers of TalTray, shared by its .rc and code.
#pragma once

#define IDR_TRAY_MENU 104
#define IDI_TRAY_ICON 106

// Items of the icon's pop-up menu.
#define IDM_UPGRADE 1004
#define IDM_HIDE_ICON 40003
#define IDM_EXIT 40005
#define IDM_STOP_UPDATER 40006
#define IDM_START_UPDATER 40007
#define IDM_CONFIGURATION 40009
