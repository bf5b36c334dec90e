#include "window/win32/WebSetupControls.h"

#include "platform/win32/WideText.h"

void Win32Label::SetCaption(const Text& caption)
{
    // The STATIC's own WM_SETTEXT paints at once; only the text is set here, and the screen
    // follows at the next paint (Refresh, or the event pump).
    DefWindowProcW(label_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(caption)));
    InvalidateRect(label_, nullptr, TRUE);
}

void Win32Label::Refresh() { UpdateWindow(label_); }

Win32ButtonGroup::Win32ButtonGroup(const std::array<HWND, Members>& members, HCURSOR firstPointer)
    : members_(members)
{
    pointers_[0] = firstPointer;
}

NativeHandle Win32ButtonGroup::Handle(int index) const
{
    return reinterpret_cast<NativeHandle>(members_.at(index));
}

bool Win32ButtonGroup::Visible(int index) const
{
    return (GetWindowLongW(members_.at(index), GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32ButtonGroup::SetVisible(int index, bool visible)
{
    ShowWindow(members_.at(index), visible ? SW_SHOWNA : SW_HIDE);
}

NativeHandle Win32ButtonGroup::MousePointer(int index) const
{
    return reinterpret_cast<NativeHandle>(pointers_.at(index));
}

void Win32ButtonGroup::SetMousePointer(int index, NativeHandle pointer)
{
    pointers_.at(index) = reinterpret_cast<HCURSOR>(pointer);
}

HCURSOR Win32ButtonGroup::PointerOf(HWND window) const
{
    for (int i = 0; i < Members; ++i)
        if (members_[i] == window) return pointers_[i];
    return nullptr;
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
