// The screen's dots per inch, read once by each window program at start.
#include "screen_scale.h"

#include "scoped.h"

ScreenScale ReadScreenScale()
{
    ScreenScale scale;
    ScopedGetDC screen(NULL);
    if (screen.get()) {
        scale.dpiX = GetDeviceCaps(screen.get(), LOGPIXELSX);
        scale.dpiY = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    return scale;
}
