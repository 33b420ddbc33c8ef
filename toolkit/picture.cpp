// Decoding a GIF resource through OLE's picture loader.
#include "picture.h"

#include <olectl.h>

IPicture *LoadPictureResource(HINSTANCE module, int resource)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(resource), "IMAGE");
    HGLOBAL loaded = found ? LoadResource(module, found) : NULL;
    const void *bytes = loaded ? LockResource(loaded) : NULL;
    DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size == 0)
        return NULL;
    // The loader reads from a stream over a movable block of its own.
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    void *target = block ? GlobalLock(block) : NULL;
    if (!target) {
        if (block)
            GlobalFree(block);
        return NULL;
    }
    CopyMemory(target, bytes, size);
    GlobalUnlock(block);
    IPicture *picture = NULL;
    IStream *stream = NULL;
    // The stream does not own the block: it is freed here either way.
    if (SUCCEEDED(CreateStreamOnHGlobal(block, FALSE, &stream))) {
        if (FAILED(OleLoadPicture(stream, (LONG)size, FALSE, IID_IPicture, (void **)&picture)))
            picture = NULL;
        stream->Release();
    }
    GlobalFree(block);
    return picture;
}
