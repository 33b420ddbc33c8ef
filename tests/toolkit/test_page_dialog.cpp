// The page dispatcher, under a virtual display: a page's handlers get its
// own state, which goes with the page.
#include "page_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const int kTemplate = 100, kButton = 10;

// What the handlers saw, kept in the page's state.
struct Seen {
    HWND initPage = NULL;
    std::vector<int> commands;
    std::vector<UINT> others;
    int notifies = 0;
    bool swallowCommands = false; // the look answers WM_COMMAND itself
    int *freed = nullptr;
};

Seen &SeenOf(void *state) { return *(Seen *)state; }

bool Look(HWND page, UINT message, WPARAM, LPARAM, INT_PTR *result)
{
    Seen *seen = (Seen *)PageState(page);
    if (message == WM_COMMAND && seen && seen->swallowCommands) {
        *result = TRUE;
        return true;
    }
    return false;
}
void Init(HWND page, void *state) { SeenOf(state).initPage = page; }
void Command(HWND, void *state, int id) { SeenOf(state).commands.push_back(id); }
BOOL Notify(HWND, void *state, NMHDR *)
{
    ++SeenOf(state).notifies;
    return TRUE;
}
bool Other(HWND, void *state, UINT message, WPARAM, LPARAM)
{
    SeenOf(state).others.push_back(message);
    return message == WM_APP + 1;
}
void Free(void *state)
{
    Seen *seen = (Seen *)state;
    ++*seen->freed;
    delete seen;
}

const PageHandlers kHandlers = {Look, Init, Command, Notify, NULL, NULL, Other, Free};

HWND Parent()
{
    return CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 200, 100, NULL, NULL, GetModuleHandleA(NULL), NULL);
}

TEST(PageDialog, HandlersGetThePagesOwnStateWhichGoesWithThePage)
{
    HWND parent = Parent();
    ASSERT_NE((HWND)NULL, parent);
    int freed = 0;
    Seen *seen = new Seen();
    seen->freed = &freed;
    HWND page = CreatePage(GetModuleHandleA(NULL), kTemplate, parent, kHandlers, seen);
    ASSERT_NE((HWND)NULL, page);
    EXPECT_EQ(page, seen->initPage) << "initialised with its state in place";
    EXPECT_EQ(seen, PageState(page));
    EXPECT_EQ(nullptr, PageState(parent)) << "a window that is no page has no page state";

    // Commands of code 0 are the page's; other codes are left to the dialog.
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kButton, BN_CLICKED), 0);
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kButton, EN_CHANGE), 0);
    EXPECT_EQ(std::vector<int>{kButton}, seen->commands);
    NMHDR header = {page, 1, 0};
    SendMessageA(page, WM_NOTIFY, 1, (LPARAM)&header);
    EXPECT_EQ(1, seen->notifies);
    SendMessageA(page, WM_APP + 1, 0, 0);
    EXPECT_EQ(std::vector<UINT>{WM_APP + 1}, seen->others);

    // What all pages do alike comes first.
    seen->swallowCommands = true;
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kButton, BN_CLICKED), 0);
    EXPECT_EQ(1u, seen->commands.size());

    DestroyWindow(page);
    EXPECT_EQ(1, freed);
    DestroyWindow(parent);
    EXPECT_EQ(1, freed);
}

TEST(PageDialog, APageThatCannotBeMadeFreesItsState)
{
    int freed = 0;
    Seen *seen = new Seen();
    seen->freed = &freed;
    EXPECT_EQ((HWND)NULL, CreatePage(GetModuleHandleA(NULL), 4242, NULL, kHandlers, seen));
    EXPECT_EQ(1, freed);
}

} // namespace
