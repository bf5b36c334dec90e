#pragma once
// The download window's labels and mouse probe on real controls.
#include "window/WebSetupForm.h"

#include <windows.h>

class Win32Label : public StatusLabel {
public:
    explicit Win32Label(HWND label) : label_(label) {}
    HWND Window() const { return label_; }
    void SetCaption(const Text& caption) override;
    void Refresh() override;

private:
    HWND label_;
};

class Win32CursorProbe : public CursorProbe {
public:
    bool GetCursorPos(ScreenPoint& point) override;
    NativeHandle WindowFromPoint(ScreenPoint point) override;
};
