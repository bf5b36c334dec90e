#pragma once
// The progress bar: a framed child whose inside shows an off-screen bitmap, so
// that what BarAyar draws survives every repaint. The bitmap keeps the size the bar
// was created with, and so do the bar's coordinates: when the window moves to a
// monitor of another DPI, the bar is moved and its bitmap shown stretched.
#include "platform/win32/GdiObjects.h"
#include "platform/win32/WindowPlumbing.h"
#include "window/WebSetupForm.h"

#include <optional>

class PicBar : public BarCanvas, private WindowObject {
public:
    // outer: the bar's rectangle in the parent's client area, frame included.
    PicBar(HWND parent, int id, const RECT& outer);
    PicBar(const PicBar&) = delete;
    PicBar& operator=(const PicBar&) = delete;

    // Null when the bar could not be created.
    HWND Handle() const { return window_; }
    void Move(const RECT& outer);
    int OuterWidth() const override { return outerWidth_; }
    int InsideWidth() const override { return insideWidth_; }
    int InsideHeight() const override { return insideHeight_; }
    void XorFillRect(const BarRect& rect, std::uint32_t colour) override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnPaint();
    bool Stretched() const;

    HWND window_ = nullptr;
    int outerWidth_ = 0;
    int insideWidth_ = 0;
    int insideHeight_ = 0;
    UniqueBitmap backing_;
    // The backing bitmap stays selected in one memory DC for the bar's life: the bar is drawn on
    // for every chunk of a download, and a DC made and freed each time was most of its cost.
    std::optional<BitmapDc> canvas_;
    // Set by a stroke that invalidated the bar, until the bar is painted.
    bool paintPending_ = false;
    UniqueBrush brush_;
    std::uint32_t brushColour_ = 0;
};
