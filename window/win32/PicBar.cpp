#include "window/win32/PicBar.h"

#include "platform/win32/WindowPlumbing.h"

namespace {
constexpr wchar_t ClassName[] = L"MavikWebSetup.PicBar";
}

PicBar::PicBar(HWND parent, int id, const RECT& outer) : outerWidth_(outer.right - outer.left)
{
    RegisterWindowClass(ClassName, nullptr);
    window_ = CreateWindowExW(0, ClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_BORDER, outer.left,
                              outer.top, outerWidth_, outer.bottom - outer.top, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                              static_cast<WindowObject*>(this));
    RECT inside{};
    GetClientRect(window_, &inside);
    insideWidth_ = inside.right;
    insideHeight_ = inside.bottom;

    // The bar starts empty: the system window colour all over.
    const UniqueScreenDc screen(GetDC(nullptr));
    backing_ = UniqueBitmap(CreateCompatibleBitmap(screen.Get(), insideWidth_, insideHeight_));
    canvas_.emplace(backing_.Get());
    FillRect(canvas_->Get(), &inside, GetSysColorBrush(COLOR_WINDOW));
}

void PicBar::XorFillRect(const BarRect& rect, std::uint32_t colour)
{
    if (!brush_ || brushColour_ != colour) {
        brush_ = UniqueBrush(CreateSolidBrush(colour));
        brushColour_ = colour;
    }
    {
        const SelectedObject brush(canvas_->Get(), brush_.Get());
        PatBlt(canvas_->Get(), rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, PATINVERT);
    }
    // On the screen at the next paint, which the download's event pump brings no more often than
    // the screen shows it: the whole bar once per paint, not each stroke on its own.
    if (paintPending_) return;
    paintPending_ = true;
    InvalidateRect(window_, nullptr, FALSE);
}

void PicBar::Move(const RECT& outer)
{
    MoveWindow(window_, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    InvalidateRect(window_, nullptr, FALSE);
}

bool PicBar::Stretched() const
{
    RECT inside{};
    GetClientRect(window_, &inside);
    return inside.right != insideWidth_ || inside.bottom != insideHeight_;
}

void PicBar::OnPaint()
{
    paintPending_ = false;
    const PaintDc target(window_);
    const HDC source = canvas_->Get();
    if (Stretched()) {
        RECT inside{};
        GetClientRect(window_, &inside);
        // Whole pixels, no blending: the bar's edge stays sharp.
        SetStretchBltMode(target.Get(), COLORONCOLOR);
        StretchBlt(target.Get(), 0, 0, inside.right, inside.bottom, source, 0, 0, insideWidth_, insideHeight_,
                   SRCCOPY);
        return;
    }
    const RECT& area = target.Area();
    BitBlt(target.Get(), area.left, area.top, area.right - area.left, area.bottom - area.top, source,
           area.left, area.top, SRCCOPY);
}

LRESULT PicBar::OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        // The backing bitmap covers every pixel of the inside.
        return 1;
    case WM_PAINT:
        if (!canvas_) break;
        OnPaint();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
