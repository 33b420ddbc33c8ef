// A module built as the product's are (cmake/lean_threads.cpp in place of
// the POSIX threads library): many threads throw and catch at once, meet
// one function-local static while another thread still builds it, keep
// their last error across a throw, and have their per-thread slot
// destroyed as they end. A plain program, as GoogleTest needs that library.
#include <windows.h>

#include <stdio.h>

#include <string>

extern "C" int pthread_key_create(unsigned *key, void (*destructor)(void *));
extern "C" int pthread_setspecific(unsigned key, const void *value);

namespace {

const int kThreads = 16;
const int kThrows = 500;

volatile LONG g_caught = 0;
volatile LONG g_built = 0;
volatile LONG g_errorKept = 0;
volatile LONG g_destroyed = 0;
unsigned g_key;

struct SlowToBuild {
    SlowToBuild()
    {
        Sleep(100);
        InterlockedIncrement(&g_built);
    }
};

void Destroy(void *) { InterlockedIncrement(&g_destroyed); }

DWORD WINAPI Work(void *)
{
    static SlowToBuild shared;
    pthread_setspecific(g_key, &g_key);
    for (int i = 0; i < kThrows; ++i) {
        try {
            throw std::string(64, 'x');
        } catch (const std::string &text) {
            if (text.size() == 64)
                InterlockedIncrement(&g_caught);
        }
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    try {
        throw 1;
    } catch (int) {
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            InterlockedIncrement(&g_errorKept);
    }
    return 0;
}

} // namespace

int main()
{
    if (pthread_key_create(&g_key, Destroy) != 0) {
        printf("FAIL: no per-thread key\n");
        return 1;
    }
    HANDLE threads[kThreads];
    for (HANDLE &thread : threads)
        thread = CreateThread(NULL, 0, Work, NULL, 0, NULL);
    WaitForMultipleObjects(kThreads, threads, TRUE, 60000);
    for (HANDLE thread : threads)
        CloseHandle(thread);

    struct {
        const char *what;
        LONG seen, expected;
    } checks[] = {
        {"exceptions caught", g_caught, kThreads * kThrows},
        {"shared static built", g_built, 1},
        {"threads keeping their last error", g_errorKept, kThreads},
        {"per-thread slots destroyed", g_destroyed, kThreads},
    };
    int failed = 0;
    for (const auto &check : checks) {
        bool ok = check.seen == check.expected;
        printf("%s: %s: %ld, expected %ld\n", ok ? "ok" : "FAIL", check.what, check.seen, check.expected);
        failed += !ok;
    }
    return failed != 0;
}
