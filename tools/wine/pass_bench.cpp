// PassBench: runs the update cycle in this process and prints how long each
// pass took, for the measurement scripts. Passes after the first are run
// as a resident updater runs them, in the same process.
//   PassBench <label> [passes]
#include "tallib.h"
#include "update_cycle.h"

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv)
{
    const char *label = argc > 1 ? argv[1] : "pass";
    int passes = argc > 2 ? atoi(argv[2]) : 1;
    EngineState engine;
    BuildEnginePaths(engine);
    LoadEngineSettings(engine);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < passes; ++i) {
        // Every pass sends an update: nothing is stored for the hosts.
        if (i > 0) {
            for (int host = 1; host <= Host_GetCount(); ++host) {
                char name[128] = "";
                if (Host_GetText(host, name, sizeof name) > 0)
                    Host_SetIP(name, "");
            }
        }
        QueryPerformanceCounter(&start);
        RunUpdateCycle(engine, false);
        QueryPerformanceCounter(&end);
        printf("%s: %.1f ms\n", label, 1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    }
    return 0;
}
