// Helper program for the log concurrency test: appends records to the
// shared log from its own process while others do the same.
//   log_hammer <id> <count>
// Writes the records "hammer p<id> n<i>" for i < count, levels 0 to 2.
#include "tallib.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 3)
        return 3;
    int id = atoi(argv[1]), count = atoi(argv[2]);
    for (int i = 0; i < count; ++i) {
        char message[64];
        snprintf(message, sizeof message, "hammer p%d n%d", id, i);
        LogToFile(message, 1, (unsigned)(i % 3));
    }
    return 0;
}
