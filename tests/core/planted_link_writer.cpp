// Writes a setting and a log record in the data folder, as every program
// does, and prints what Profile_WriteText answered. planted-link.sh runs it
// with a link planted in place of the data folder.
#include "tallib.h"

#include <stdio.h>

int main()
{
    char config[MAX_PATH] = "";
    GetFile_INIFile(config, sizeof config);
    int written = Profile_WriteText(config, "App", "Username", "someone");
    LogToFile("Updater: Process started.", 1, 0);
    printf("%d\n", written);
    return 0;
}
