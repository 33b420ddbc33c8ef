// PassBench: runs the update cycle once in this process and prints how long
// the pass took, for the pass measurement script.
//   PassBench <label>
#include "tallib.h"
#include "update_cycle.h"

#include <stdio.h>

int main(int argc, char **argv)
{
    const char *label = argc > 1 ? argv[1] : "pass";
    EngineState engine;
    BuildEnginePaths(engine);
    LoadEngineSettings(engine);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    RunUpdateCycle(engine, false);
    QueryPerformanceCounter(&end);
    printf("%s: %.1f ms\n", label, 1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    return 0;
}
