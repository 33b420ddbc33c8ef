// Allocation failures inside TalLib: with an allocation of the DLL failing,
// every export that builds strings or vectors returns its failure result
// and nothing is thrown across the library boundary.
#include "tallib.h"

#include <gtest/gtest.h>

#include <string.h>

#include <functional>

namespace {

// Set to fail TalLib's next allocation, one only: the exception machinery
// itself allocates too (its per-thread state on a thread's first throw),
// and a process whose every allocation fails cannot report anything.
volatile LONG g_failNext = 0;
void *(__cdecl *g_realMalloc)(size_t) = NULL;

void *__cdecl FailingMalloc(size_t size)
{
    return InterlockedCompareExchange(&g_failNext, 0, 1) == 1 ? NULL : g_realMalloc(size);
}

// Points TalLib's import of malloc (which its operator new calls) at
// FailingMalloc.
bool HookTalLibMalloc()
{
    BYTE *base = (BYTE *)GetModuleHandleA("TalLib.dll");
    if (!base)
        return false;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR *dll = (IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); dll->Name; ++dll) {
        IMAGE_THUNK_DATA *name = (IMAGE_THUNK_DATA *)(base + dll->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slot = (IMAGE_THUNK_DATA *)(base + dll->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
                strcmp((const char *)((IMAGE_IMPORT_BY_NAME *)(base + name->u1.AddressOfData))->Name, "malloc") != 0)
                continue;
            DWORD old = 0;
            if (!VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old))
                return false;
            g_realMalloc = (void *(__cdecl *)(size_t))slot->u1.Function;
            slot->u1.Function = (ULONG_PTR)FailingMalloc;
            VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
            return true;
        }
    }
    return false;
}

LRESULT CALLBACK Ignore(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

TEST(NoThrow, ExportsAnswerAFailedAllocationWithTheirFailureResult)
{
    ASSERT_TRUE(HookTalLibMalloc());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Ignore;
    wc.lpszClassName = "TalvexNoThrowTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
    char buffer[32];
    char hosts[] = "home.talvex-demo.test";
    struct {
        const char *name;
        std::function<int()> call;
        int failure;
    } cases[] = {
        // Texts longer than a string keeps without allocating.
        {"IsNewerThan", [] { return IsNewerThan("version 4.0.9 of the updater", 0, "4.0.8", 0); }, 0},
        {"GetIP", [&] { return GetIP(buffer, sizeof buffer, 0); }, 0},
        {"IssueUpdate", [&] { return IssueUpdate("demo", "pw", "update.talvex.test", "/nic/update", hosts, "203.0.113.7"); }, 0},
        {"GetHostList", [&] { return GetHostList("demo", "pw", window); }, 2},
    };
    for (auto &c : cases) {
        int result = 0;
        bool thrown = false;
        InterlockedExchange(&g_failNext, 1);
        try {
            result = c.call();
        } catch (...) {
            thrown = true;
        }
        InterlockedExchange(&g_failNext, 0);
        EXPECT_FALSE(thrown) << c.name << " let an exception out";
        if (!thrown) {
            EXPECT_EQ(c.failure, result) << c.name;
        }
    }
    EXPECT_EQ(1, IsNewerThan("4.0.9 of the updater", 0, "4.0.8", 0)) << "and it works again afterwards";
    DestroyWindow(window);
}
