// TalSetupHelper's entry (setup_helper.h):
//   TalSetupHelper make-data-folder <common application-data folder>
//   TalSetupHelper make-program-folder <program folder>
//   TalSetupHelper check-data-folder <data folder>
//   TalSetupHelper start-as-user <program>
//   TalSetupHelper check-config <prepared configuration> <copy of the bytes checked>
//   TalSetupHelper apply-config <copy of the bytes checked> <installed TalLib.dll>
//   TalSetupHelper wait-programs-gone <folder> <seconds>
//   TalSetupHelper end-programs <folder> <seconds>
//   TalSetupHelper runs-from-administrators-folder <installer>
//   TalSetupHelper runs-as-own-copy <installer>
//   TalSetupHelper make-own-copy <installer>
//   TalSetupHelper remove-own-copy <copy>
//   TalSetupHelper make-uninstaller-copy <uninstaller>
//   TalSetupHelper remove-copy-at-restart <copy>
// Ends with 0 when done, 1 otherwise, after a line that says why (the
// installer shows it); 2, after the usage, for a command it does not know.
#include "setup_helper.h"

#include "copy_folder.h"
#include "prepared_config.h"

#include "data_folder_check.h"
#include "desktop_shell_start.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "make-data-folder") == 0)
        return MakeDataFolder(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "make-program-folder") == 0)
        return MakeProgramFolder(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "check-data-folder") == 0) {
        const char *fault = DataFolderChainFault(argv[2]);
        if (fault)
            printf("%s: %s\n", argv[2], fault);
        return fault ? 1 : 0;
    }
    if (argc == 3 && strcmp(argv[1], "start-as-user") == 0) {
        // The same way TalLib starts the user's programs for an elevated caller.
        std::string why;
        if (StartThroughDesktopShell(argv[2], NULL, SW_SHOWNORMAL, why))
            return 0;
        printf("%s\n", why.c_str());
        return 1;
    }
    if (argc == 4 && strcmp(argv[1], "wait-programs-gone") == 0)
        return WaitForProgramsGone(argv[2], (unsigned)atoi(argv[3])) ? 0 : 1;
    if (argc == 4 && strcmp(argv[1], "end-programs") == 0)
        return EndProgramsOf(argv[2], (unsigned)atoi(argv[3])) ? 0 : 1;
    if (argc == 4 && strcmp(argv[1], "check-config") == 0)
        return CheckPreparedConfig(argv[2], argv[3]) ? 0 : 1;
    if (argc == 4 && strcmp(argv[1], "apply-config") == 0)
        return ApplyPreparedConfig(argv[2], argv[3]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "runs-from-administrators-folder") == 0)
        return RunsFromAdministratorsFolder(argv[2], false) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "runs-as-own-copy") == 0)
        return RunsFromAdministratorsFolder(argv[2], true) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "make-own-copy") == 0)
        return MakeOwnCopy(argv[2], kCopyName) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "remove-own-copy") == 0)
        return RemoveOwnCopy(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "make-uninstaller-copy") == 0)
        return MakeUninstallerCopy(argv[2]) ? 0 : 1;
    if (argc == 3 && strcmp(argv[1], "remove-copy-at-restart") == 0)
        return RemoveCopyAtRestart(argv[2]) ? 0 : 1;
    printf("usage: TalSetupHelper make-data-folder <folder> | make-program-folder <folder> | check-data-folder <folder> | start-as-user <program>"
           " | wait-programs-gone <folder> <seconds> | end-programs <folder> <seconds> | check-config <file> <copy> | apply-config <copy> <TalLib.dll>"
           " | runs-from-administrators-folder <installer> | runs-as-own-copy <installer> | make-own-copy <installer> | remove-own-copy <copy>"
           " | make-uninstaller-copy <uninstaller> | remove-copy-at-restart <copy>\n");
    return 2;
}
