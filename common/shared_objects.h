// Who may use each named object that two programs of the suite share, as
// security descriptors in SDDL. Every such object is created with its
// descriptor stated here, whichever program happens to create it first, so
// its rights never depend on the creator's defaults. docs/shared-objects.md
// lists each object, who opens it and with which rights, beside these.
#pragma once

// The updater service's own identity, "NT SERVICE\Talvex Updater": S-1-5-80-
// followed by the SHA-1 of the upper-case service name in UTF-16, the way
// Windows forms every service SID (tools/service_sid.py computes it again).
#define TALVEX_SERVICE_SID "S-1-5-80-3107901156-634643951-2869640371-3527584340-3917256515"

// What a pipe writer asks for and is granted: write the message, nothing
// more. Not GENERIC_WRITE, which would include the right to create an
// instance of the pipe (FILE_CREATE_PIPE_INSTANCE) and so to serve its
// readers' writers.
#define TALVEX_PIPE_WRITER_RIGHTS "0x120082" // FILE_WRITE_DATA, FILE_READ_ATTRIBUTES, READ_CONTROL, SYNCHRONIZE

// The two pipes. The reader's own account (the pipe's owner: the signed-in
// user for the icon, Administrators for the elevated utility), SYSTEM and
// Administrators may do anything, instances included; signed-in users'
// programs and the service may only write a message.
constexpr char kPipeSecurity[] = "D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;OW)"
                                 "(A;;" TALVEX_PIPE_WRITER_RIGHTS ";;;AU)"
                                 "(A;;" TALVEX_PIPE_WRITER_RIGHTS ";;;" TALVEX_SERVICE_SID ")";

// The user-process updater's lock, held by the one TalUpPs of an account
// for its whole life: the Startup shortcut starts one at every logon of
// that user, and a window is found only in its own session. The name is
// followed by "-" and the account's SID, and the object grants that
// account (added at run time), SYSTEM and Administrators only; one found
// that another account made is ignored (engine/process/instance_lock.cpp).
constexpr char kProcessLockSecurity[] = "D:P(A;;0x1F0001;;;SY)(A;;0x1F0001;;;BA)";
constexpr char kProcessUpdaterLockName[] = "Global\\TalvexUpdaterProcess";

// The data folder (Talvex under the common application-data folder), its
// Updater folder and the configuration and log files, which inherit it.
// The installer makes both folders, owned by Administrators, and sets this
// on Talvex (installer/data_folder_setup.cpp):
// - SYSTEM and Administrators: full control.
// - Users and the service, on the folders: list, read and create files;
//   never delete, rename or re-permission a folder, never make folders.
// - Users and the service, on every file: read it, write and append its
//   data (FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA); no
//   DELETE, no WRITE_DAC, and not FILE_WRITE_ATTRIBUTES, which Windows
//   asks of the target of a new hard link: nobody but an administrator
//   can give a data file a second name (a commit refuses a file with one).
// - OWNER RIGHTS, on every file: the file's owner may also delete it (a
//   user the files he made himself, such as the setup.exe an older
//   release's upgrade assistant downloads there), and
//   no more: this entry replaces an owner's implicit right to change the
//   file's rights. The configuration, its journal, the log and the lock
//   file "talvex.lock" (whose bytes are the configuration's and the log's
//   locks: core/machine_lock.cpp) are made by the installer and belong to
//   Administrators, so no user can make them first, delete or re-permission
//   them. There is no CREATOR OWNER entry.
#define TALVEX_DATA_FOLDER_USERS_ON_FOLDERS "0x1200ab" // list, add file, read EA and attributes, traverse, read control, synchronize
#define TALVEX_DATA_FOLDER_USERS_ON_FILES "0x12008f"   // FILE_GENERIC_READ | FILE_WRITE_DATA | FILE_APPEND_DATA
#define TALVEX_DATA_FOLDER_OWNER_ON_FILES "0x1301bf"   // the above, execute and DELETE
constexpr char kDataFolderSecurity[] =
    "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"
    "(A;CI;" TALVEX_DATA_FOLDER_USERS_ON_FOLDERS ";;;BU)(A;OIIO;" TALVEX_DATA_FOLDER_USERS_ON_FILES ";;;BU)"
    "(A;CI;" TALVEX_DATA_FOLDER_USERS_ON_FOLDERS ";;;" TALVEX_SERVICE_SID ")"
    "(A;OIIO;" TALVEX_DATA_FOLDER_USERS_ON_FILES ";;;" TALVEX_SERVICE_SID ")"
    "(A;OIIO;" TALVEX_DATA_FOLDER_OWNER_ON_FILES ";;;OW)";

// The program folder, which the installer makes owned by Administrators
// (installer/program_folder_setup.cpp), protected from what it would
// inherit (under C:\ that is "Authenticated Users: Modify"): SYSTEM and
// Administrators full control, users and the service read and execute.
// Nobody else may add, rename or replace a program or the library that
// runs elevated and in the service. Its files inherit it.
#define TALVEX_PROGRAM_FOLDER_READERS "0x1200a9" // FILE_GENERIC_READ | FILE_GENERIC_EXECUTE
constexpr char kProgramFolderSecurity[] =
    "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;" TALVEX_PROGRAM_FOLDER_READERS ";;;BU)"
    "(A;OICI;" TALVEX_PROGRAM_FOLDER_READERS ";;;" TALVEX_SERVICE_SID ")";

// The folder the elevated installer runs its own copy from, when it was
// started from a folder a user may change (installer/copy_folder.cpp):
// made new for each run under the system's temporary folder, owned by
// Administrators, SYSTEM and Administrators alone, protected from what it
// would inherit, removed when the copy has ended.
constexpr char kInstallerCopySecurity[] = "O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The one privilege the service keeps; Windows removes every other one
// from its token.
constexpr char kServicePrivilege[] = "SeChangeNotifyPrivilege";
// The account the service runs as.
constexpr char kServiceAccount[] = "NT AUTHORITY\\LocalService";
