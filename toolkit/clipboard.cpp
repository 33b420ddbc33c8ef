// Putting text on the clipboard.
#include "clipboard.h"

#include <string.h>

bool CopyTextToClipboard(HWND owner, const char *text)
{
    if (!text || !OpenClipboard(owner))
        return false;
    EmptyClipboard();
    size_t size = strlen(text) + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    char *target = block ? (char *)GlobalLock(block) : NULL;
    bool stored = false;
    if (target) {
        memcpy(target, text, size);
        GlobalUnlock(block);
        stored = SetClipboardData(CF_TEXT, block) != NULL;
    }
    // The clipboard owns the block only once it took it.
    if (block && !stored)
        GlobalFree(block);
    CloseClipboard();
    return stored;
}
