// Putting text on the clipboard.
#include "clipboard.h"

#include "scoped.h"

#include <string.h>

bool CopyTextToClipboard(HWND owner, const char *text)
{
    if (!text || !OpenClipboard(owner))
        return false;
    EmptyClipboard();
    size_t size = strlen(text) + 1;
    ScopedGlobal block(GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size));
    char *target = block ? (char *)GlobalLock(block.get()) : NULL;
    bool stored = false;
    if (target) {
        memcpy(target, text, size);
        GlobalUnlock(block.get());
        stored = SetClipboardData(CF_TEXT, block.get()) != NULL;
    }
    // The clipboard owns the block only once it took it.
    if (stored)
        block.release();
    CloseClipboard();
    return stored;
}
