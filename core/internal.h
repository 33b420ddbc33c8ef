// Declarations shared by TalLib's source files; not part of the export surface.
#pragma once

#include <windows.h>
#include <winsvc.h>

#include "profile_text.h"
#include "scoped.h"

#include <string>
#include <vector>

// Paths formed once per process, then only read.
struct TalPaths {
    char dataFolder[MAX_PATH];  // ends in a backslash
    char configFile[MAX_PATH];
    char logFile[MAX_PATH];
    char lockFile[MAX_PATH];    // the shared files' locks (machine_lock.cpp)
    char exeFolder[MAX_PATH];   // ends in a backslash
    char trayExe[MAX_PATH];
    char processUpdaterExe[MAX_PATH];
    char configExe[MAX_PATH];
    char controlExe[MAX_PATH];
    char upgradeExe[MAX_PATH];
};

const TalPaths &Paths();

// Copies text into buffer when it fits with its terminator; otherwise leaves
// an empty buffer (when size allows) and returns false.
bool CopyWhole(char *buffer, int size, const char *text);

// False, with nothing written, when `path` lies in the data folder and that
// folder (or the one above it) is not the real one an installation made: a
// link to elsewhere, or owned by another user (core/data_folder_guard.cpp).
bool MayWriteInDataFolder(const char *path);

// The full path a file at `path` is meant to have, its folder in long
// names, so that it compares with what the file system says of a handle;
// empty when the folder cannot be found.
std::string IntendedPath(const char *path);
// Whether the handle's file is the one at `intended` (an IntendedPath): a
// junction or a link on the way gives another final path
// (GetFinalPathNameByHandle).
bool IsAt(HANDLE file, const std::string &intended);

// Opens a file without following a link; one that a virus scanner or a
// backup holds (a sharing or lock violation) is tried again for up to two
// seconds. The thread's last error is the open's.
HANDLE OpenHeldFile(const char *path, DWORD access, DWORD share, DWORD disposition);
const DWORD kHeldFileWaitMs = 2000, kHeldFileRetryMs = 50;

// Opens a shared file of the data folder as the configuration is opened: in
// the real data folder (MayWriteInDataFolder), following no link, and only
// a plain file with one name (an elevated writer must not change a file a
// user reached through a second name or a link). ERROR_SUCCESS with `file`
// open; otherwise the Windows error (ERROR_ACCESS_DENIED for a link, a
// second name or a folder that is not the real one) and `file` empty.
DWORD OpenPlainDataFile(const char *path, DWORD access, DWORD share, DWORD disposition, ScopedFile &file);

// Configuration file access under the machine-wide lock.
int ConfigWrite(const char *section, const char *key, const char *value);
int ConfigReadText(const char *section, const char *key, const char *fallback, char *buffer, int size);
int ConfigReadInt(const char *section, const char *key, int fallback);

// A configuration's text as the profile code edits it: the file's bytes,
// or, for a file saved as UTF-16 with its byte-order mark, its text as
// UTF-8, written back as UTF-16 (profile_encoding.cpp).
struct ConfigText {
    std::string text;
    bool utf16 = false;
};
ConfigText DecodeConfigFile(const std::string &bytes);
std::string EncodeConfigFile(const ConfigText &config);
// The callers' ANSI edits, names and values in and out of a text's encoding.
std::vector<ProfileEdit> EditsInEncoding(const ConfigText &config, const ProfileEdit *edits, size_t count);
std::string NameInEncoding(const ConfigText &config, const char *name);
std::string ValueFromEncoding(const ConfigText &config, const std::string &value);

// Applies the edits, in order, to the file at path behind a rollback
// journal beside it (config_commit.cpp): a crash at any moment leaves the
// old or the new content once the next access has finished what it found.
// The caller holds the configuration lock. False when any step failed, with
// the file as it was (or put back by the next access) and the thread's last
// error the Windows error of the step that failed (ERROR_ACCESS_DENIED for
// a file that is a link or has a second name or lies in a data folder that
// is not the real one, ERROR_INVALID_PARAMETER for an edit that cannot be
// written). `found`, when given, receives the text the edits were applied
// to, and `foundSet` whether the commit got as far as reading it.
bool CommitEdits(const char *path, const ProfileEdit *edits, size_t count, ConfigText *found = nullptr,
                 bool *foundSet = nullptr);
// Puts back the old content when a commit was interrupted; called by the
// lock's owner only. `restored`, when given, tells whether it did. False
// when the journal cannot be used, with the last error set as above.
bool FinishInterruptedCommit(const char *path, bool *restored = nullptr);

// What a reader finds of the journal, without writing anything: the change
// counter that every commit and every put-back advances, and whether a
// commit is unfinished (interrupted, or running in a process that holds the
// lock), with the whole old text it saved when that text is sound.
struct JournalView {
    unsigned long long changes = 0;
    bool inUse = false;
    bool savedWhole = false;
    std::string saved;
};
// False when the journal is there but cannot be read now.
bool ReadJournalView(const char *path, JournalView &view);

// The storage code's outcomes for administrators, in the Event Log
// (config_events.cpp): a commit that could not be made, with its cause in
// words (the first of a run of failures), and an interrupted commit put
// back. The log file says the same wherever it can be written.
void ReportConfigNotSaved(const char *path, const char *cause);
void ReportConfigPutBack(const char *path);

// A configuration file past this size is damage, never read whole.
const LONGLONG kConfigReadMax = 4 << 20;

// The whole of a small text file; empty when it is missing or too large
// (support_report.cpp).
std::string ReadSmallFile(const char *path);

// Writes all of data to file; false when a write failed (log_file.cpp).
bool WriteAllBytes(HANDLE file, const char *data, size_t size);

// ---- Machine-wide locks, signal windows and the log ------------------------

// The locks the programs share (machine_lock.cpp): one byte each of the
// data folder's "talvex.lock", which the installer makes and no user can
// make, replace or re-permission. The configuration's and the log's
// serialize each access to their file; the pass lock is held by an
// updater from deciding which hosts need an update until their records
// are written, so that two updaters (two accounts' user-process updaters)
// never both send what one of them is about to record.
enum class SharedLock { Config = 0, Log = 1, Pass = 2 };
const DWORD kSharedLockWaitMs = 10000;

// Holds a shared lock for one scope, across the service and every user's
// programs; a thread may nest it. The wait is bounded, so nothing hangs
// behind a stuck process: after it `owned` is false and `error` says why
// (ERROR_TIMEOUT, or the lock file's own error), and a reader goes ahead
// unserialized while a configuration writer fails and says so.
struct MachineLock {
    explicit MachineLock(SharedLock which, DWORD waitMs = kSharedLockWaitMs);
    ~MachineLock();
    MachineLock(const MachineLock &) = delete;
    MachineLock &operator=(const MachineLock &) = delete;

    int index;
    bool owned = false;
    DWORD error = ERROR_SUCCESS;
};

// The one way windows of the suite are looked up; title may be NULL.
HWND FindSignalWindow(const char *windowClass, const char *title);

// Sends a message to the window of another program of the suite, found by
// class (and title, when not NULL), and waits at most timeoutMs for its
// answer: the answer, or 0 when the window is absent or did not answer in
// time (a hung window is logged once until it answers again). Nothing in
// the suite waits on another program's window without such a bound.
LRESULT SendToProgram(const char *windowClass, const char *title, UINT message, WPARAM wParam, LPARAM lParam,
                      DWORD timeoutMs);
// Posts a message to the window of another program of the suite; false
// when the window is absent.
bool PostToProgram(const char *windowClass, const char *title, UINT message, WPARAM wParam, LPARAM lParam);
// A notice (a code to the icon or the utility) is answered at once by a
// window that works.
const DWORD kNoticeAnswerMs = 5000;
// An updater command may run a whole pass before it is answered: the
// address check and the update request with their full time-outs.
const DWORD kCommandAnswerMs = 120000;

// Tells the notification icon that a newer version exists (WM_USER 142,
// posted): 1, or 0 when the icon's window is absent.
LRESULT TrayIcon_TellUpgrade(void);

// The updater service opened with only the rights the caller's call needs
// (SERVICE_QUERY_STATUS to see it, SERVICE_CHANGE_CONFIG to change its start
// type), on a manager opened just to connect: every user may see the service,
// only administrators change it. Closed again when this goes out of scope.
// `service` is NULL when it cannot be opened with those rights; `exists`
// still tells a service that refused them from one that is not installed.
struct UpdaterService {
    explicit UpdaterService(DWORD rights);
    ScopedService manager;
    ScopedService service;
    bool exists = false;
};

