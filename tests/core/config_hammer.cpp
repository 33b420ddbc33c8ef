// Helper program for the concurrency tests: writes and reads configuration
// keys from its own process while others do the same.
//   config_hammer <id> <count> <processes>
// Writes [Hammer] p<id>k<i> = i for i < count, reading each back at once,
// then waits (at most 20 s) until every process has written its last key.
// Exit code 0 when every read saw the expected value, 2 otherwise.
#include "tallib.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 4)
        return 3;
    int id = atoi(argv[1]), count = atoi(argv[2]), processes = atoi(argv[3]);
    char path[MAX_PATH];
    if (GetFile_INIFile(path, sizeof path) != 0)
        return 3;

    int failures = 0;
    for (int i = 0; i < count; ++i) {
        char key[32], value[16], back[16];
        snprintf(key, sizeof key, "p%dk%d", id, i);
        snprintf(value, sizeof value, "%d", i);
        Profile_WriteText(path, "Hammer", key, value);
        Profile_ReadText(path, "Hammer", key, "", back, sizeof back);
        if (lstrcmpA(back, value) != 0)
            ++failures;
    }

    // Every other process's last write must become visible here.
    DWORD deadline = GetTickCount() + 20000;
    for (int other = 0; other < processes; ++other) {
        char key[32];
        snprintf(key, sizeof key, "p%dk%d", other, count - 1);
        while (Profile_ReadInt(path, "Hammer", key, -1) != count - 1) {
            if ((int)(GetTickCount() - deadline) > 0) {
                ++failures;
                break;
            }
            Sleep(10);
        }
    }
    return failures ? 2 : 0;
}
