// Resource and control numbers of the upgrade assistant, shared by its .rc
// and its sources.
#pragma once

#define IDI_UPGRADE 107
#define IDP_HEADER_TITLE 108
#define IDP_HEADER_BAND 109
#define IDP_HEADER_LOGO 110

#define IDC_UPGRADE_NOW 200
#define IDC_IGNORE_VERSION 201
#define IDC_CLOSE 202
#define IDC_HEADING 203
#define IDC_MESSAGE 204
#define IDC_LOCAL_VERSION 205
#define IDC_LATEST_VERSION 206
#define IDC_PROGRESS 207
#define IDC_CHECK_AGAIN 208
