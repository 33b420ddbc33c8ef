// Every signal that passes between the programs: pipe names and message
// bytes, window classes and titles, WM_USER command codes, service control
// codes and the application messages. Readers and writers include this one
// header so that the two ends can never disagree. Names and numbers only.
#pragma once

#include <windows.h>
#include <winsvc.h>

// ---- Named pipes: created by their reader, written by clients ------------
// One message per connection, written in one write and at most
// kPipeMaxMessage bytes, so a reader gets it whole in one read.
constexpr char kTrayPipeName[] = "\\\\.\\pipe\\TalvexUpdaterTrayPipe";
constexpr char kConfigPipeName[] = "\\\\.\\pipe\\TalvexUpdaterConfigPipe";
constexpr DWORD kPipeBufferSize = 128;
constexpr DWORD kPipeMaxMessage = kPipeBufferSize - 1;
constexpr DWORD kPipeDefaultTimeoutMs = 2000;
// The longest a writer waits for its message to be taken. A reader of ours
// takes it at once; one that accepts and never reads costs a pass no more
// than this, and the message is dropped as if nobody listened.
constexpr DWORD kPipeWriteLimitMs = 500;
// After a write ran out that bound, the next ones to the same pipe wait
// this long, until one is taken again.
constexpr DWORD kPipeStalledWriteLimitMs = 20;
// The longest a reader waits for a connected writer's message.
constexpr DWORD kPipeReadLimitMs = 1000;

// Tray pipe: "D" + address after an address check; any other first byte
// starts an update result code in decimal.
constexpr char kTrayMsgAddress = 'D';
// Configuration pipe, first byte only.
constexpr char kConfigMsgLogChanged[] = "A";    // refresh the log view
constexpr char kConfigMsgStatusChanged[] = "B"; // refresh the status display
constexpr char kConfigMsgPassDone[] = "C";      // refresh both, log first

// ---- Windows found by class (and, for some lookups, title) ---------------
constexpr char kUpdaterClass[] = "TALVEX_UPDATER_MSG"; // TalUpPs, message-only
constexpr char kUpdaterTitle[] = "Talvex Update Process";
constexpr char kTrayClass[] = "TALVEX_CONFIG_TRAY_ICON"; // TalTray, message-only
constexpr char kTrayTitle[] = "Talvex Updater Tray Icon";
constexpr char kConfigClass[] = "TALVEX_UPDATER_CONFIG"; // TalUpConfig main window
constexpr char kConfigTitle[] = "Talvex Updater Configuration";
constexpr char kUpgradeClass[] = "TALVEX_UPGRADE_ASSISTANT"; // TalUpUp main window

// ---- The updater service, commanded through TalUpControl ------------------
constexpr char kServiceName[] = "Talvex Updater";
constexpr DWORD kServiceControlStop = SERVICE_CONTROL_STOP; // 1
// Codes 128 to 138 below double as the service's user control codes.

// ---- What each program's window accepts from other programs --------------
// TalUpPs ("TALVEX_UPDATER_MSG"): WM_USER with the updater codes below (18,
//   128 to 138), WM_CLOSE, and a WM_QUIT sent (not posted) to the window;
//   the last two stop it as code 18 does.
// TalTray ("TALVEX_CONFIG_TRAY_ICON"): WM_USER 142 (a newer version), and a
//   WM_QUIT sent to the window by TrayIcon_Kill: it removes its icon and ends.
// TalUpConfig ("TALVEX_UPDATER_CONFIG"): WM_USER 128, 132, 139 to 142, and
//   the host-list messages (kMsgHostList*); its refresh worker has TalLib
//   send them to a window of the worker's own, then posts the rows over.
// The updater service: the stop control and the codes 128 to 138.

// ---- WM_USER command codes (wParam) --------------------------------------
// To the updater (TalUpPs window or the service):
constexpr WPARAM kCmdQuitProcess = 18;    // TalUpPs only
constexpr WPARAM kCmdReloadSettings = 128;
constexpr WPARAM kCmdCheckAddress = 129;
constexpr WPARAM kCmdForcedPass = 130;
constexpr WPARAM kCmdReloadAndPass = 131;
constexpr WPARAM kCmdSettingsChanged = 132; // updater: reload; configuration window: show status in lParam
constexpr WPARAM kCmdStatusGood = 133;
constexpr WPARAM kCmdStatusWarning = 134;
constexpr WPARAM kCmdStatusCritical = 135;
constexpr WPARAM kCmdStatusUnconfigured = 136;
constexpr WPARAM kCmdDeactivate = 137;
constexpr WPARAM kCmdActivate = 138;
// To the configuration window (also 128 reload and 132 above):
constexpr WPARAM kCmdRefreshStatus = 139;
constexpr WPARAM kCmdRefreshLog = 140;
constexpr WPARAM kCmdLatestVersion = 141;
// To the configuration window and the notification icon:
constexpr WPARAM kCmdUpgradeAvailable = 142;

// ---- Application messages inside TalUpConfig ------------------------------
constexpr UINT kMsgHostListBegin = WM_APP + 13; // 0x800D: clear the list
constexpr UINT kMsgHostListEnd = WM_APP + 14;   // 0x800E: the list is complete
constexpr UINT kMsgHostListHost = WM_APP + 15;  // 0x800F: wParam length, lParam name

// ---- Application messages to the upgrade assistant (TalUpUp) ---------------
// Sent from outside the suite, by the product's installer, which finds the
// window by its class.
constexpr UINT kMsgUpgradeInstalling = WM_APP + 1; // 0x8001: the installer runs
constexpr UINT kMsgUpgradeRestarting = WM_APP + 2; // 0x8002: the updater restarts; TalUpUp ends
