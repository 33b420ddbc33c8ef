// The page dispatcher, under a virtual display: a page's handlers get its
// own state, which goes with the page.
#include "page_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

const int kTemplate = 100, kButton = 10;

// What the handlers saw, kept in the page's state.
struct Seen {
    HWND initPage = NULL;
    std::vector<int> commands;
    std::vector<UINT> others;
    int notifies = 0;
    int *freed = nullptr;
    ~Seen() { ++*freed; }
};

// Another kind of page, whose state the first kind's accessor never gives.
struct Other {};
const PageKind<Other> kOtherKind = {};

bool g_swallowCommands = false; // the look answers WM_COMMAND itself

bool Look(HWND, UINT message, WPARAM, LPARAM, INT_PTR *result)
{
    if (message == WM_COMMAND && g_swallowCommands) {
        *result = TRUE;
        return true;
    }
    return false;
}
void Init(HWND page, Seen &seen) { seen.initPage = page; }
void Command(HWND, Seen &seen, int id) { seen.commands.push_back(id); }
BOOL Notify(HWND, Seen &seen, NMHDR *)
{
    ++seen.notifies;
    return TRUE;
}
bool OtherMessage(HWND, Seen &seen, UINT message, WPARAM, LPARAM)
{
    seen.others.push_back(message);
    return message == WM_APP + 1;
}

const PageKind<Seen> kKind = {.look = Look, .init = Init, .command = Command, .notify = Notify, .other = OtherMessage};

// A handler of another page's state is refused by the description.
static_assert(!std::is_assignable_v<decltype(kKind.init) &, void (*)(HWND, Other &)>);

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
    HWND page = CreatePage(GetModuleHandleA(NULL), kTemplate, parent, kKind, seen);
    ASSERT_NE((HWND)NULL, page);
    EXPECT_EQ(page, seen->initPage) << "initialised with its state in place";
    EXPECT_EQ(seen, PageState(page, kKind));
    EXPECT_EQ(nullptr, PageState(parent, kKind)) << "a window that is no page has no page state";
    EXPECT_EQ(nullptr, PageState(page, kOtherKind)) << "nor has a page of another kind";

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
    g_swallowCommands = true;
    SendMessageA(page, WM_COMMAND, MAKEWPARAM(kButton, BN_CLICKED), 0);
    EXPECT_EQ(1u, seen->commands.size());
    g_swallowCommands = false;

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
    EXPECT_EQ((HWND)NULL, CreatePage(GetModuleHandleA(NULL), 4242, NULL, kKind, seen));
    EXPECT_EQ(1, freed);
}

} // namespace
