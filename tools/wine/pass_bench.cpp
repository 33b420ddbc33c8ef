// PassBench: runs the update cycle in this process and prints how long each
// pass took, for the measurement scripts. Passes after the first are run
// as a resident updater runs them, in the same process.
//   PassBench <label> [passes] [control port of the local service]
// With a control port, the local service is given a new public address
// before every pass after the first (outside the timing), so that every
// pass finds every host changed and writes what a real update writes.
#include "tallib.h"
#include "update_cycle.h"
#include "scoped.h"

#include <winhttp.h>

#include <stdio.h>
#include <stdlib.h>

namespace {

// Tells the local service which address its address-check page reports.
bool SetPublicAddress(INTERNET_PORT port, const char *address)
{
    char body[64];
    int length = snprintf(body, sizeof body, "{\"address\": \"%s\"}", address);
    ScopedInternet session(WinHttpOpen(L"PassBench", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                       WINHTTP_NO_PROXY_BYPASS, 0));
    ScopedInternet connect(session ? WinHttpConnect(session.get(), L"127.0.0.1", port, 0) : NULL);
    ScopedInternet request(connect ? WinHttpOpenRequest(connect.get(), L"POST", L"/control/address", NULL,
                                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0)
                                   : NULL);
    return request &&
           WinHttpSendRequest(request.get(), L"Content-Type: application/json\r\n", (DWORD)-1L, body, (DWORD)length,
                              (DWORD)length, 0) &&
           WinHttpReceiveResponse(request.get(), NULL);
}

} // namespace

int main(int argc, char **argv)
{
    const char *label = argc > 1 ? argv[1] : "pass";
    int passes = argc > 2 ? atoi(argv[2]) : 1;
    INTERNET_PORT control = (INTERNET_PORT)(argc > 3 ? atoi(argv[3]) : 0);
    EngineState engine;
    BuildEnginePaths(engine);
    LoadEngineSettings(engine);

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    for (int i = 0; i < passes; ++i) {
        if (i > 0 && control) {
            char address[20];
            snprintf(address, sizeof address, "198.51.100.%d", 1 + i % 250);
            if (!SetPublicAddress(control, address)) {
                fprintf(stderr, "PassBench: the local service did not take address %s\n", address);
                return 1;
            }
        } else if (i > 0) {
            // Without the service's control port: nothing stored for the
            // hosts, so the pass sends an update (the service may answer
            // "nochg" for an address it already holds).
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
