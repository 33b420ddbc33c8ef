// Opening a link of the product as the signed-in user (user_link.h),
// through the one way the suite starts anything for the user from an
// elevated program (common/desktop_shell_start.cpp).
#include "user_link.h"

#include "desktop_shell_start.h"
#include "error_text.h"

#include <windows.h>
#include <shellapi.h>
#include <string.h>

namespace {

// Whether text starts with prefix, ignoring case.
bool StartsWith(const char *text, const char *prefix) { return _strnicmp(text, prefix, strlen(prefix)) == 0; }

} // namespace

bool IsProductLink(const char *target)
{
    if (!target)
        return false;
    // No character a shell or a command line could read as more than one
    // address: no blanks, quotes or controls.
    for (const char *c = target; *c; ++c)
        if ((unsigned char)*c <= ' ' || *c == '"' || *c == '\x7f')
            return false;
    const char *rest = NULL;
    if (StartsWith(target, "https://"))
        rest = target + 8;
    else if (StartsWith(target, "mailto:"))
        rest = target + 7;
    else
        return false;
    // A host (or a mailbox) must follow.
    return rest[0] && rest[0] != '/' && rest[0] != '\\' && rest[0] != '@';
}

bool OpenLinkAsUser(const char *target, std::string &why)
{
    if (!IsProductLink(target)) {
        why = "only https:// and mailto: links are opened";
        return false;
    }
    if (ProcessIsElevated())
        return StartThroughDesktopShell(target, NULL, SW_SHOWNORMAL, why);
    // Already the user's own rights: the shell of this process opens it.
    if ((INT_PTR)ShellExecuteA(NULL, "open", target, NULL, NULL, SW_SHOWNORMAL) > 32)
        return true;
    why = DescribeError(GetLastError());
    return false;
}
