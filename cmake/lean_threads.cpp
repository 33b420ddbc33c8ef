// Compiled into the product's modules only, beside lean_throw.cpp: the few
// POSIX thread calls the C++ runtime's exception support makes (a lock
// around its tables, a once-only start, one per-thread slot with a
// destructor, the wait of a function-local static's first use), made
// directly on Windows. Without them the linker takes these from the static
// POSIX threads library, whose thread object brings the rest of that
// library (about 31 KB per module). No program of the product starts a
// thread through that library; the tests, which do, keep it.
//
// The objects keep the library's layouts and static initial values:
// a mutex or condition is one pointer-sized word starting at -1 (-2 and -3
// for the recursive and error-checking mutexes), a once flag a long
// starting at 0, a key an unsigned number.
#include <windows.h>

#include <errno.h>
#include <stdint.h>

namespace {

// A word still holding a static initial value (or zero) has no Windows
// object yet: the first use makes one, and of two threads racing to make
// it, the one whose object is not installed frees it.
bool Unmade(intptr_t word) { return word >= -3 && word <= 0; }

CRITICAL_SECTION *Section(volatile intptr_t *mutex)
{
    intptr_t seen = *mutex;
    if (!Unmade(seen))
        return (CRITICAL_SECTION *)seen;
    auto *made = (CRITICAL_SECTION *)HeapAlloc(GetProcessHeap(), 0, sizeof(CRITICAL_SECTION));
    if (!made)
        return NULL;
    // A critical section is recursive, which serves all three kinds: the
    // runtime never locks a plain or error-checking mutex twice.
    InitializeCriticalSection(made);
    intptr_t before = (intptr_t)InterlockedCompareExchangePointer((void *volatile *)mutex, made, (void *)seen);
    if (before == seen)
        return made;
    DeleteCriticalSection(made);
    HeapFree(GetProcessHeap(), 0, made);
    return (CRITICAL_SECTION *)before;
}

CONDITION_VARIABLE *Condition(volatile intptr_t *cond)
{
    intptr_t seen = *cond;
    if (!Unmade(seen))
        return (CONDITION_VARIABLE *)seen;
    // Zeroed memory is a condition variable's initial state.
    auto *made = (CONDITION_VARIABLE *)HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(CONDITION_VARIABLE));
    if (!made)
        return NULL;
    intptr_t before = (intptr_t)InterlockedCompareExchangePointer((void *volatile *)cond, made, (void *)seen);
    if (before == seen)
        return made;
    HeapFree(GetProcessHeap(), 0, made);
    return (CONDITION_VARIABLE *)before;
}

// The keys with a destructor, run for a thread's non-empty slots when the
// thread ends. The runtime makes one (its per-thread variables); a few
// more are room to spare.
const LONG kKeysWithDestructor = 4;
volatile LONG g_keysTaken = 0;
DWORD g_keys[kKeysWithDestructor] = {TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES, TLS_OUT_OF_INDEXES};
void (*g_destructors[kKeysWithDestructor])(void *);

void NTAPI OnThreadEvent(PVOID, DWORD reason, PVOID)
{
    if (reason != DLL_THREAD_DETACH)
        return;
    LONG taken = g_keysTaken < kKeysWithDestructor ? g_keysTaken : kKeysWithDestructor;
    for (LONG i = 0; i < taken; ++i) {
        DWORD key = g_keys[i];
        void *value = key == TLS_OUT_OF_INDEXES ? NULL : TlsGetValue(key);
        if (value) {
            TlsSetValue(key, NULL);
            g_destructors[i](value);
        }
    }
}

// Called by Windows as every thread of the process ends, in the module
// that carries it (EXE or DLL), as long as the module is loaded.
[[gnu::section(".CRT$XLT"), gnu::used]] PIMAGE_TLS_CALLBACK g_threadEvent = OnThreadEvent;

} // namespace

extern "C" {

int pthread_mutex_init(intptr_t *mutex, const void *)
{
    *mutex = -1;
    return 0;
}

int pthread_mutex_destroy(intptr_t *mutex)
{
    if (!Unmade(*mutex)) {
        DeleteCriticalSection((CRITICAL_SECTION *)*mutex);
        HeapFree(GetProcessHeap(), 0, (void *)*mutex);
    }
    *mutex = -1;
    return 0;
}

int pthread_mutex_lock(intptr_t *mutex)
{
    CRITICAL_SECTION *section = Section(mutex);
    if (!section)
        return ENOMEM;
    EnterCriticalSection(section);
    return 0;
}

int pthread_mutex_unlock(intptr_t *mutex)
{
    if (Unmade(*mutex))
        return EPERM;
    LeaveCriticalSection((CRITICAL_SECTION *)*mutex);
    return 0;
}

// The caller holds the mutex, so it exists; the wait releases it once.
int pthread_cond_wait(intptr_t *cond, intptr_t *mutex)
{
    CONDITION_VARIABLE *condition = Condition(cond);
    if (!condition || Unmade(*mutex))
        return ENOMEM;
    return SleepConditionVariableCS(condition, (CRITICAL_SECTION *)*mutex, INFINITE) ? 0 : EINVAL;
}

// A condition nobody has waited on has nobody to wake.
int pthread_cond_broadcast(intptr_t *cond)
{
    if (!Unmade(*cond))
        WakeAllConditionVariable((CONDITION_VARIABLE *)*cond);
    return 0;
}

// 0: not run, 1: running, 2: done. A second caller waits for the first,
// sleeping rather than yielding so that a first caller of lower priority
// still gets to finish.
int pthread_once(volatile long *once, void (*routine)(void))
{
    if (InterlockedCompareExchange(once, 1, 0) == 0) {
        routine();
        InterlockedExchange(once, 2);
        return 0;
    }
    while (InterlockedCompareExchange(once, 2, 2) != 2)
        Sleep(1);
    return 0;
}

int pthread_key_create(unsigned *key, void (*destructor)(void *))
{
    LONG slot = -1;
    if (destructor) {
        slot = InterlockedIncrement(&g_keysTaken) - 1;
        if (slot >= kKeysWithDestructor)
            return EAGAIN;
        g_destructors[slot] = destructor;
    }
    DWORD index = TlsAlloc();
    if (index == TLS_OUT_OF_INDEXES)
        return EAGAIN;
    if (slot >= 0)
        InterlockedExchange((volatile LONG *)&g_keys[slot], (LONG)index);
    *key = index;
    return 0;
}

// Neither call may change the thread's last error: the runtime reaches
// them while throwing, between a failed Windows call and its caller's
// GetLastError.
void *pthread_getspecific(unsigned key)
{
    DWORD error = GetLastError();
    void *value = TlsGetValue(key);
    SetLastError(error);
    return value;
}

int pthread_setspecific(unsigned key, const void *value)
{
    DWORD error = GetLastError();
    BOOL set = TlsSetValue(key, (void *)value);
    SetLastError(error);
    return set ? 0 : EINVAL;
}

} // extern "C"
