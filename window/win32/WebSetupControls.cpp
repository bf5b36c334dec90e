#include "window/win32/WebSetupControls.h"

#include "platform/win32/WideText.h"

void Win32Label::SetCaption(const Text& caption) { SetWindowTextW(label_, Wide(caption)); }

void Win32Label::Refresh() { UpdateWindow(label_); }

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
