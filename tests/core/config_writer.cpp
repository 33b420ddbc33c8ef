// Helper program for the crash tests: writes a pass's keys (each host's
// address and status, then the updater's status) over and over until it is
// killed. With "batch" each round is collected and committed at once.
#include "tallib.h"

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    char path[MAX_PATH];
    if (GetFile_INIFile(path, sizeof path) != 0)
        return 3;
    bool batch = argc > 1 && strcmp(argv[1], "batch") == 0;
    for (unsigned round = 0;; ++round) {
        if (batch)
            Profile_BeginBatch(path);
        for (int n = 1; n <= Host_GetCount(); ++n) {
            char name[128] = "", address[20];
            Host_GetText(n, name, sizeof name);
            snprintf(address, sizeof address, "198.51.100.%u", round % 250);
            Host_SetIP(name, address);
            Host_SetStatus(name, round % 2 ? "good" : "nochg");
        }
        SetStatus((int)(round % 3));
        if (batch)
            Profile_EndBatch();
    }
}
