// The configuration file's names and values, shared by TalLib and every
// program: file and folder names, sections, keys, status values, the
// timestamp length and the key the password is scrambled with. Names only.
#pragma once

// ---- Where the files live: common application data\Talvex\Updater\ --------
constexpr char kDataFolderVendor[] = "Talvex";
constexpr char kDataFolderProduct[] = "Updater";
constexpr char kConfigFileName[] = "config.talvex";
constexpr char kLogFileName[] = "talvex.log";
// Never read or written: every program locks a byte of it before it uses the
// configuration or the log (core/machine_lock.cpp).
constexpr char kLockFileName[] = "talvex.lock";

// ---- Sections --------------------------------------------------------------
constexpr char kSectionApp[] = "App";
constexpr char kSectionHosts[] = "Hosts";
// Every selected host also has a section of its own, named after the host.

// ---- [App] keys --------------------------------------------------------------
// Keys match without regard to case; the account's name is one key, written
// "Username" by the configuration utility and read by everyone.
constexpr char kKeyUserName[] = "Username";
constexpr char kKeyPassword[] = "Password";
constexpr char kKeyStartWithOS[] = "StartWithOS";
constexpr char kKeyRunAsService[] = "RunAsService";
constexpr char kKeyUpdateLimit[] = "UpdateLimit";
constexpr char kKeyLoadIcon[] = "LoadIcon";
constexpr char kKeySync[] = "Sync";
constexpr char kKeyNotify[] = "Notify";
constexpr char kKeyUpgrade[] = "Upgrade";
constexpr char kKeyFresh[] = "Fresh";
constexpr char kKeyStatus[] = "Status";
constexpr char kKeyActive[] = "Active";
constexpr char kKeyAuthed[] = "Authed";
constexpr char kKeyProxy[] = "Proxy";
constexpr char kKeyLastIP[] = "LastIP";
constexpr char kKeyLastUpdate[] = "LastUpdate";
constexpr char kKeyIgnoreVersion[] = "IgnoreVersion";

// ---- [Hosts] keys: "Count", then "Host1" to "Host<Count>" ------------------
constexpr char kKeyHostCount[] = "Count";
constexpr char kKeyHostPrefix[] = "Host";

// ---- Keys of a host's own section ------------------------------------------
constexpr char kKeyHostIP[] = "IP";
constexpr char kKeyHostUpdate[] = "Update";
constexpr char kKeyHostStatus[] = "Status";

// ---- [App] "Status" ---------------------------------------------------------
// 0 to 2 are stored (the result level of the last update); 3 is what a file
// without the key reads as to TalLib and the utility (the updaters start
// from 0); 4 is shown by the configuration utility only.
enum TalStatus {
    kStatusGood = 0,
    kStatusWarning = 1,
    kStatusCritical = 2,
    kStatusUnconfigured = 3,
    kStatusDisabled = 4,
};

// ---- Timestamps: "MM-dd-yyyy HH:mm:ss", local time, no zone ---------------
constexpr unsigned kTimestampLength = 19;

// ---- Password scrambling ----------------------------------------------------
// The key the account's password is scrambled with before it is stored; the
// configuration utility and the updaters pass it with its length.
constexpr char kPasswordKey[] = "Hq7vNe2W";
constexpr unsigned kPasswordKeyLength = sizeof kPasswordKey - 1;
