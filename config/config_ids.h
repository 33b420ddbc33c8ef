// Resource and control identifiers of TalUpConfig, shared by its C++ files
// and its resource scripts (windres reads only the #define lines).
#pragma once

// ---- Pictures, icon, menus and dialog templates ---------------------------
#define IDI_CONFIG 107
#define IDP_LOGO 130        // 100 x 110, top of the status panel
#define IDP_HELP 131        // 90 x 90, Help page
#define IDP_STRIP 132       // 200 x 1, panel and navigation background
#define IDP_WARNING 133     // 90 x 90 status pictures
#define IDP_CRITICAL 134
#define IDP_DISABLED 135
#define IDP_GOOD 136
#define IDP_WELCOME 137
#define IDM_CONTEXT 4       // pop-up 0 "Hosts", pop-up 1 "Log"
#define IDD_ACCOUNT 101
#define IDD_HOME 106
#define IDD_ADVANCED 107
#define IDD_LOGS 108
#define IDD_HELP 109
#define IDD_PROGRESS 111

// ---- Main window ----------------------------------------------------------
#define IDC_OK 200
#define IDC_CANCEL 201
#define IDC_APPLY 202
#define IDC_STATUS_HOTSPOT 203
#define IDC_STATUS_LABEL 204
#define IDC_STATUS_HINT 205
#define IDC_BOTTOM_BAND 206
#define IDC_NAV_HOME 300    // 300..303: Home, Advanced, Logs, Help
#define IDC_NAV_ADVANCED 301
#define IDC_NAV_LOGS 302
#define IDC_NAV_HELP 303

// ---- Home page (106) ------------------------------------------------------
#define IDC_HOME_USER_LABEL 1024
#define IDC_HOME_UPDATE_LABEL 1025
#define IDC_HOME_ADDRESS_LABEL 458
#define IDC_HOME_STATUS_LABEL 1026
#define IDC_HOME_USER 1032
#define IDC_HOME_LAST_UPDATE 1031
#define IDC_HOME_ADDRESS 1029
#define IDC_HOME_UPDATER 1030    // "On", "Off", "Detecting..."
#define IDC_CHANGE_USER 457
#define IDC_VIEW_LOGS 1027
#define IDC_REFRESH_IP 3456
#define IDC_START_UPDATER 1049
#define IDC_STOP_UPDATER 1050
#define IDC_HOST_LIST 1012
#define IDC_REFRESH_HOSTS 5674
#define IDC_MANAGE_HOSTS 5675
#define IDC_CHECK_ALL 5676
#define IDC_CHECK_NONE 5677
#define IDC_CHECK_INVERSE 5679
#define IDM_COPY_HOSTS 32773
#define IDM_CHECK_SELECTED 32777
#define IDM_UNCHECK_SELECTED 32779

// ---- Account dialog (101) and progress window (111) -------------------------
#define IDC_ACCOUNT_USER 1030
#define IDC_ACCOUNT_PASSWORD 1031
#define IDC_ACCOUNT_OKAY 1002
#define IDC_ACCOUNT_CANCEL 1032
#define IDC_PROGRESS_CANCEL 1003

// ---- Advanced page (107) --------------------------------------------------
#define IDC_OPT_LOAD_ICON 1036
#define IDC_OPT_START_WITH_OS 1037
#define IDC_OPT_SYNC 1038
#define IDC_OPT_NOTIFY 1039
#define IDC_OPT_UPGRADE 1040
#define IDC_VERSION_LABEL 1024
#define IDC_VERSION_TEXT 1032
#define IDC_UPGRADE_LINK 1043

// ---- Logs page (108) --------------------------------------------------------
#define IDC_LOG_LIST 1012
#define IDC_REFRESH_LOG 1034
#define IDC_SAVE_LOG 1039
#define IDM_COPY_LINES 32774
#define IDM_CLEAR_LOG 32781

// ---- Help page (109) --------------------------------------------------------
#define IDC_SUPPORT_LINK 1049
#define IDC_BUG_LINK 1048
#define IDC_COMMUNITY_LINK 1046
#define IDC_ABOUT_TEXT 1024
