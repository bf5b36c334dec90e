#pragma once
// The image button IndKur1 on real windows: four pictures stacked on one spot, each drawing
// its face, and behind them one focus holder that takes the keyboard for the whole group and
// is named after the face on show, which is what screen readers announce.
#include "platform/win32/GdiObjects.h"
#include "platform/win32/WindowPlumbing.h"
#include "window/WebSetupForm.h"

#include <array>

class ImageButton : public ButtonGroup, private WindowObject {
public:
    static constexpr int Members = 4;

    // The members get the ids firstId to firstId + 3, the focus holder focusId. Only the first
    // member carries the hand pointer until the form's load shares it.
    ImageButton(HWND parent, int focusId, int firstId, HCURSOR firstPointer);
    ImageButton(const ImageButton&) = delete;
    ImageButton& operator=(const ImageButton&) = delete;

    bool Created() const;
    // Lays the group on at, each member showing its face, which has at's size; the caller
    // keeps the faces until it places others or the window is gone.
    void Place(const RECT& at, const std::array<HBITMAP, Members>& faces);
    HWND FocusHolder() const { return focus_; }
    // The focus rectangle shows from the first key on, or always where the user asked for it.
    void ShowFocusCues();
    // The pointer of the member window is, or null when window is none of them.
    HCURSOR PointerOf(HWND window) const;

    int Count() const override { return Members; }
    NativeHandle Handle(int index) const override;
    bool Visible(int index) const override;
    void SetVisible(int index, bool visible) override;
    NativeHandle MousePointer(int index) const override;
    void SetMousePointer(int index, NativeHandle pointer) override;

private:
    LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnFocusMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnFaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnFaceClick(HWND member);
    void PaintFace(HWND member) const;
    void RepaintFaces() const;

    HWND parent_;
    const int focusId_;
    HWND focus_ = nullptr;
    std::array<HWND, Members> members_{};
    std::array<HBITMAP, Members> faces_{};
    std::array<HCURSOR, Members> pointers_{};
    bool focusCues_ = false;
};
