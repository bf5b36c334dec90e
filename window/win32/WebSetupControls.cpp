#include "window/win32/WebSetupControls.h"

#include "platform/win32/WideText.h"

#include <algorithm>
#include <utility>

Win32Label::Win32Label(HWND label) : label_(label)
{
    if (!label_) return;
    SetWindowLongPtrW(label_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    staticProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32Label::LabelProc)));
}

Win32Label::~Win32Label() { GiveBackProcedure(); }

WNDPROC Win32Label::GiveBackProcedure()
{
    const WNDPROC staticProc = std::exchange(staticProc_, nullptr);
    if (!staticProc) return nullptr;
    SetWindowLongPtrW(label_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(staticProc));
    SetWindowLongPtrW(label_, GWLP_USERDATA, 0);
    return staticProc;
}

void Win32Label::SetCaption(const Text& caption)
{
    caption_ = caption;
    captionPending_ = true;
    // A download sets the caption for every chunk: while a paint is due, a caption waits for it,
    // and only WM_GETTEXT has it until then.
    if (std::exchange(paintPending_, true)) return;
    HandOverCaption();
    InvalidateRect(label_, nullptr, TRUE);
}

void Win32Label::Refresh()
{
    HandOverCaption();
    InvalidateRect(label_, nullptr, TRUE);
    UpdateWindow(label_);
}

void Win32Label::HandOverCaption()
{
    if (!std::exchange(captionPending_, false)) return;
    // The STATIC's own WM_SETTEXT would paint at once.
    DefWindowProcW(label_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Wide(caption_)));
}

LRESULT CALLBACK Win32Label::LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* label = reinterpret_cast<Win32Label*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    return label->OnMessage(message, wParam, lParam);
}

LRESULT Win32Label::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_GETTEXTLENGTH:
        if (captionPending_) return static_cast<LRESULT>(caption_.size());
        break;
    case WM_GETTEXT:
        if (captionPending_) {
            if (wParam == 0) return 0;
            const std::size_t count = std::min<std::size_t>(caption_.size(), wParam - 1);
            auto* buffer = reinterpret_cast<wchar_t*>(lParam);
            std::copy_n(Wide(caption_), count, buffer);
            buffer[count] = L'\0';
            return static_cast<LRESULT>(count);
        }
        break;
    case WM_SETTEXT:
        // Text set from elsewhere replaces any caption still waiting.
        captionPending_ = false;
        break;
    case WM_PAINT:
        HandOverCaption();
        paintPending_ = false;
        break;
    case WM_NCDESTROY:
        // The control goes first: nothing is left for the destructor to give back.
        return CallWindowProcW(GiveBackProcedure(), label_, message, wParam, lParam);
    }
    return CallWindowProcW(staticProc_, label_, message, wParam, lParam);
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
