// TalLib.dll exported interface: the one place it is declared.
// Flat C, narrow (ANSI) strings, caller-supplied buffers with their size in
// bytes, plain integer results. Nothing C++ crosses this boundary.
#pragma once

#include <windows.h>
#include <stddef.h>

#define TALAPI __cdecl

#ifdef __cplusplus
extern "C" {
#endif

// ---- Named values of the interface ----------------------------------------
// Log levels: the first field of every log record.
enum LogLevel { LOG_INFO = 0, LOG_WARNING = 1, LOG_ERROR = 2 };
// LogToFile's and LogAndSignal's newRecord: begin a record with its level
// and timestamp, or append the message to the record last begun.
enum LogRecordKind { LOG_APPEND = 0, LOG_NEW_RECORD = 1 };
// GetHostList: 0 the list was handed over, 1 the server refused the
// account; from HOSTLIST_FIRST_FAILED_STEP on, the exchange step that failed
// (open, connect, request, credentials, send, no response).
enum HostListResult { HOSTLIST_OK = 0, HOSTLIST_REFUSED = 1, HOSTLIST_FIRST_FAILED_STEP = 2 };
// NewVersion: the page's version is newer, is not, or no answer came.
enum VersionResult { VERSION_NO_ANSWER = -1, VERSION_NOT_NEWER = 0, VERSION_NEWER = 1 };

// ---- Folders and files (computed once per process, read-only) ----------
// Each returns 0 on success; nonzero with an empty buffer when it is too small.
int TALAPI GetFolder_Data(char *buffer, int size);
int TALAPI GetFolder_EXEDir(char *buffer, int size);
int TALAPI GetFile_INIFile(char *buffer, int size);

// ---- Configuration file access -------------------------------------------
// Every program reads and writes the configuration file through these, so
// that writes from several processes (and the service) are serialized by
// one machine-wide lock and reads never see a stale cached copy.
int TALAPI Profile_WriteText(const char *path, const char *section, const char *key, const char *value);
int TALAPI Profile_ReadText(const char *path, const char *section, const char *key, const char *fallback,
                            char *buffer, int size);
int TALAPI Profile_ReadInt(const char *path, const char *section, const char *key, int fallback);
// Every write is a commit behind a journal, so that a crash leaves the old
// or the new configuration, never a cut one. To write many keys at the cost
// of one commit, a thread begins a batch for a file: its writes to that
// file (through any export) are then collected, each answering 1, until it
// commits them. Profile_CommitBatch writes what was collected and keeps
// collecting; Profile_EndBatch writes it and stops. Both return 1 when the
// writes are in the file (or nothing was collected), 0 when the file could
// not be written, with the Windows error as the thread's last error. A
// write that fails (batched or single) is logged once and kept by the
// process: its next write of the file writes it first, unless another
// program changed that key meanwhile (the newer value stays). Until then
// the process's reads see its kept writes, and the batching thread's reads
// its collected ones. A write the file cannot hold as meant (a section
// name with "]", a key with "=", a line break) fails alone with
// ERROR_INVALID_PARAMETER, is logged, and is never kept. Other threads'
// writes are not collected. Profile_BeginBatch returns 0 when another
// thread of the process has a batch open. Profile_EndBatchOrDrop ends a
// batch as Profile_EndBatch does, but keeps none of its writes when they
// could not be written: for a save the caller reports as failed, so that
// what the user did not see saved is not written later behind their back.
int TALAPI Profile_BeginBatch(const char *path);
int TALAPI Profile_CommitBatch(void);
int TALAPI Profile_EndBatch(void);
int TALAPI Profile_EndBatchOrDrop(void);

// ---- Host table ([Hosts] and one section per host) -----------------------
int TALAPI Host_GetCount(void);
int TALAPI Host_GetText(int n, char *buffer, int size);
int TALAPI Host_SetText(int n, const char *name);
int TALAPI Host_SetCount(int count);
// Appends the selected host names, comma-separated, to what buffer holds.
int TALAPI Host_GetDelString(char *buffer, int size);
int TALAPI Host_GetIP(const char *host, char *buffer, int size);
int TALAPI Host_GetUpdate(const char *host, char *buffer, int size);
int TALAPI Host_Clean(void);

// ---- Status flags ([App]) -----------------------------------------------
int TALAPI SetStatus(int status);
int TALAPI GetStatus(void);
int TALAPI SetActive(int active);
int TALAPI GetAuthed(void);
int TALAPI SetFresh(int fresh);
// 1 when the user name and the password are both at least 3 characters
// long: the account the updaters may send; 0 otherwise (NULL included).
int TALAPI Account_IsUsable(const char *userName, const char *password);

// ---- Password scrambling and text ----------------------------------------
// The account's password as every program reads and stores it: unscrambled
// into buffer (its length returned), scrambled into [App] "Password" (1 when
// written). Passwords are at most 127 characters.
int TALAPI Account_GetPassword(char *buffer, int size);
int TALAPI Account_SetPassword(const char *password);

// ---- Public address detection ---------------------------------------------
int TALAPI IsValidIP(const char *address);
// The address check every program makes: on the port the stored proxy mode
// calls for, probing both ports and storing the mode once both answered.
// Leaves the answer's dotted-quad text in address (possibly not an
// address, for the icon to show) and returns 1 when it is a valid public
// address, 0 otherwise.
int TALAPI GetPublicAddress(char *address, int size);
// Why the calling thread's last address check or host-list download failed,
// in words ("WinHttpSendRequest failed with Windows error 12029 (...)");
// empty when it worked. Each thread reads its own calls' cause, as with
// GetLastError. Returns the length copied.
int TALAPI GetLastFailure(char *buffer, int size);

// ---- Update protocol -------------------------------------------------------
int TALAPI IssueUpdate(const char *userName, const char *password, const char *server, const char *path,
                       char *hosts, const char *address);
int TALAPI GetRCLOE(unsigned code);

// ---- Log file and alerts ---------------------------------------------------
int TALAPI GetTimestamp(char *buffer, unsigned size);
int TALAPI LogToFile(const char *message, int newRecord, unsigned level);
int TALAPI LogAndSignal(const char *message, int newRecord, unsigned level);
// One of the suite's two pipes (kTrayPipeName, kConfigPipeName) is written
// to that pipe of every signed-in session that has its reader (each reader
// serves its own session's, session_pipe.h); 1 when at least one took it.
int TALAPI Signal(const char *pipeName, const char *text);
int TALAPI MergeFiles(const char *configurationPath, const char *logPath, const char *reportPath);
// Empties the log in place (the file keeps its owner and rights; a missing
// log is not made): 1, or 0 with the thread's last error saying why
// (ERROR_ACCESS_DENIED for a log that is a link or has a second name).
int TALAPI Log_Clear(void);

// The pass lock, which an updater holds from deciding which hosts need an
// update until their records are written: another updater's pass (another
// account's user-process updater) that runs at the same moment waits for
// it, then finds the hosts recorded and sends nothing. Pass_Begin waits at
// most waitMs; 0 when the lock could not be had (the thread's last error
// says why: ERROR_TIMEOUT, or the lock file's error), and the pass goes on
// without it. Pass_End, on the thread that began, lets it go.
int TALAPI Pass_Begin(unsigned waitMs);
void TALAPI Pass_End(void);

int TALAPI GetBalloonMessage(unsigned code, char *buffer, int size, int *icon);
unsigned long long TALAPI TimeElapsed(const char *timestamp);

// ---- Process and service control ------------------------------------------
HWND TALAPI TrayIcon_Find(void);
LRESULT TALAPI TrayIcon_Kill(void);
HWND TALAPI TalUp_Find(void);
INT_PTR TALAPI Execute_TrayIcon(HWND owner);
INT_PTR TALAPI Execute_Config(HWND owner);
INT_PTR TALAPI Execute_Upgrade(HWND owner);
LRESULT TALAPI TellServer(int code);
LRESULT TALAPI TellConfig(int code, LPARAM lParam);
int TALAPI IsRunningService(void);
int TALAPI IsRunningProcess(void);
int TALAPI GetActive(void);
// With the service installed, these wait (45 s at most) for the service
// controller's answer and log a failure with its cause: call them off a
// window thread.
INT_PTR TALAPI StartUpdater(void);
INT_PTR TALAPI StopUpdater(void);
// Starts a program as the signed-in user, through the desktop shell, with
// the user's own unelevated rights whatever this process holds: the one
// way an elevated program starts the icon, the user-process updater or the
// assistant (Execute_TrayIcon, Execute_Upgrade and StartUpdater use it
// when this process is elevated). 1 when the shell started it; 0 when the
// shell could not be reached or refused, after a log record saying why and
// that the program starts at the next logon. parameters may be NULL.
int TALAPI Execute_AsUser(const char *program, const char *parameters, int show);

// ---- Host list, version check, shortcuts and tooltips ---------------------
int TALAPI GetHostList(const char *userName, const char *password, HWND window);
int TALAPI NewVersion(const char *current, char *found, int size);
void TALAPI CheckVersion(void);
// The icon's Startup shortcut made and the icon started (unless it runs);
// the shortcut removed and the icon ended.
int TALAPI CreateTrayIconShortcut(void);
int TALAPI KillTrayIconShortcut(void);
// The updater started with Windows, or not: with the service installed, its
// start type (automatic or disabled) and no shortcut; otherwise the
// user-process updater's Startup shortcut.
int TALAPI CreateStartupShortcut(void);
int TALAPI KillStartupShortcut(void);
int TALAPI CreateToolTip(int controlId, HWND dialog, HINSTANCE instance, const char *text);

// ---- Kept for the interface ------------------------------------------------
// No program of the product calls these: they stay exported because the
// interface has always offered them. Some do work for the exports above
// inside TalLib (the update request writes each host's state with
// Host_SetIP, Host_SetUpdate and Host_SetStatus; GetPublicAddress asks
// GetIP and IsBehindProxy); the others are used by nothing but their tests.
// Host table, one host at a time.
int TALAPI Host_GetStatus(const char *host, char *buffer, int size);
int TALAPI Host_GetIPByIndex(int n, char *buffer, int size);
int TALAPI Host_GetUpdateByIndex(int n, char *buffer, int size);
int TALAPI Host_GetStatusByIndex(int n, char *buffer, int size);
int TALAPI Host_SetIP(const char *host, const char *value);
int TALAPI Host_SetUpdate(const char *host, const char *value);
int TALAPI Host_SetStatus(const char *host, const char *value);
int TALAPI Host_Add(const char *host, const char *ip, const char *update);
int TALAPI Host_Find(const char *host);
int TALAPI Host_Remove(void); // removes nothing; answers 1
// Status flags.
int TALAPI SetAuthed(int authed);
int TALAPI IsFresh(void);
int TALAPI GetProxy(void);
int TALAPI SetProxy(int proxy);
// Password scrambling and text.
size_t TALAPI SimpleEncrypt(const char *plain, size_t maxLen, const char *key, size_t keyLen, char *hexOut);
size_t TALAPI SimpleDecrypt(const char *hex, size_t maxLen, const char *key, size_t keyLen, char *plainOut);
int TALAPI RemoveChars(char *text, size_t maxLen, const char *chars);
// Address check on one port, and the proxy probe (GetPublicAddress uses both).
int TALAPI GetIP(char *address, int size, int alternatePort);
int TALAPI IsBehindProxy(char *addressDirect, int sizeDirect, char *addressAlternate, int sizeAlternate);
// Base64.
void TALAPI b64encode(const char *text, char *out);
int TALAPI b64decode(const char *text, char *out);
int TALAPI b64buffer(const char *text, int encoding);
// The icon poke, the version comparison and a shortcut of any kind.
LRESULT TALAPI Alert(int code);
int TALAPI IsNewerThan(const char *first, int firstLength, const char *second, int secondLength);
int TALAPI CreateLink(const char *target, const char *shortcutPath, const char *description);

#ifdef __cplusplus
}
#endif
