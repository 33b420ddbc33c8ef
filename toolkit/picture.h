// Pictures the window programs keep in their resources as GIF files.
#pragma once

#include <windows.h>
#include <ocidl.h>

// The "IMAGE" resource decoded by the system's picture loader (OLE), or
// NULL when it is missing or cannot be decoded. The caller releases it.
IPicture *LoadPictureResource(HINSTANCE module, int resource);
