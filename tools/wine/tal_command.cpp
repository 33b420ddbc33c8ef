// TalCommand: sends one updater command from a shell script, exactly as the
// suite's own programs do (TellServer), and prints the answer.
//   TalCommand <code>
#include "tallib.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: TalCommand <code>\n");
        return 2;
    }
    LRESULT result = TellServer(atoi(argv[1]));
    printf("%ld\n", (long)result);
    return 0;
}
