#include "platform/win32/Twips.h"

#include "platform/win32/GdiObjects.h"

int ScreenDpi()
{
    const UniqueScreenDc screen(GetDC(nullptr));
    return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
}

RECT ToPixels(const Twips& twips, int dpi)
{
    const int left = MulDiv(twips.left, dpi, 1440);
    const int top = MulDiv(twips.top, dpi, 1440);
    return {left, top, left + MulDiv(twips.width, dpi, 1440), top + MulDiv(twips.height, dpi, 1440)};
}
