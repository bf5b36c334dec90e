#include "platform/win32/Dpi.h"

#include "platform/win32/Twips.h"
#include "platform/win32/UniqueHandle.h"

namespace {

// user32 is bound at the program's first call into it, which may come after this lookup: the
// lookup takes it from the system folder itself. Only the lookup can fail.
const SystemLibrary& User32()
{
    static const SystemLibrary user32(L"user32.dll");
    return user32;
}

template <typename Function>
Function* User32Function(const char* name)
{
    return User32().Find<Function>(name);
}

}  // namespace

int WindowDpi(HWND window)
{
    static auto* const getDpiForWindow = User32Function<UINT WINAPI(HWND)>("GetDpiForWindow");
    const UINT dpi = getDpiForWindow ? getDpiForWindow(window) : 0;
    return dpi ? static_cast<int>(dpi) : ScreenDpi();
}

int SystemMetricForDpi(int index, int dpi)
{
    static auto* const forDpi = User32Function<int WINAPI(int, UINT)>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, static_cast<UINT>(dpi));
    return MulDiv(GetSystemMetrics(index), dpi, ScreenDpi());
}

RECT FrameForClient(const RECT& client, DWORD style, DWORD exStyle, int dpi)
{
    static auto* const forDpi = User32Function<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    RECT frame = client;
    if (!forDpi || !forDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpi))) {
        frame = client;
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    return frame;
}

UniqueFont DialogFont(int dpi)
{
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
    // The stock font is made for the system DPI.
    font.lfHeight = MulDiv(font.lfHeight, dpi, ScreenDpi());
    return UniqueFont(CreateFontIndirectW(&font));
}
