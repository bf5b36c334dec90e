#include "window/win32/WebSetupControls.h"

#include "platform/win32/WideText.h"

void Win32Label::SetCaption(const Text& caption)
{
    // The STATIC's own WM_SETTEXT paints at once; only the text is set here, for whoever reads
    // it, and the screen follows at the next Refresh. A download sets it for every chunk.
    DefWindowProcW(label_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(caption)));
}

void Win32Label::Refresh()
{
    InvalidateRect(label_, nullptr, TRUE);
    UpdateWindow(label_);
}

bool Win32CursorProbe::GetCursorPos(ScreenPoint& point)
{
    POINT position{};
    if (!::GetCursorPos(&position)) return false;
    point = {position.x, position.y};
    return true;
}

NativeHandle Win32CursorProbe::WindowFromPoint(ScreenPoint point)
{
    return reinterpret_cast<NativeHandle>(::WindowFromPoint(POINT{point.x, point.y}));
}
