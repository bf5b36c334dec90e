#pragma once
// The download window's labels, image button and mouse probe on real controls.
#include "window/WebSetupForm.h"

#include <windows.h>

#include <array>

class Win32Label : public StatusLabel {
public:
    explicit Win32Label(HWND label) : label_(label) {}
    HWND Window() const { return label_; }
    void SetCaption(const Text& caption) override;
    void Refresh() override;

private:
    HWND label_;
};

class Win32ButtonGroup : public ButtonGroup {
public:
    static constexpr int Members = 4;

    // Only the first member carries the hand pointer until the form's load shares it.
    Win32ButtonGroup(const std::array<HWND, Members>& members, HCURSOR firstPointer);
    int Count() const override { return Members; }
    NativeHandle Handle(int index) const override;
    bool Visible(int index) const override;
    void SetVisible(int index, bool visible) override;
    NativeHandle MousePointer(int index) const override;
    void SetMousePointer(int index, NativeHandle pointer) override;
    // The pointer of the member window is, or null when window is none of them.
    HCURSOR PointerOf(HWND window) const;

private:
    std::array<HWND, Members> members_;
    std::array<HCURSOR, Members> pointers_{};
};

class Win32CursorProbe : public CursorProbe {
public:
    bool GetCursorPos(ScreenPoint& point) override;
    NativeHandle WindowFromPoint(ScreenPoint point) override;
};
