#pragma once
// The download window's labels and mouse probe on real controls.
#include "window/WebSetupForm.h"

#include <windows.h>

// A STATIC whose text may change far more often than the screen can show it. The text answers
// WM_GETTEXT at once; the control takes it over (a call into the window manager) at once when its
// last text has been painted, and otherwise at its next paint or Refresh.
class Win32Label : public StatusLabel {
public:
    // Serves the label's messages until destroyed; null: no control.
    explicit Win32Label(HWND label);
    Win32Label(const Win32Label&) = delete;
    Win32Label& operator=(const Win32Label&) = delete;
    // Gives the control, if it is still there, its own procedure back.
    ~Win32Label() override;

    HWND Window() const { return label_; }
    void SetCaption(const Text& caption) override;
    void Refresh() override;

private:
    static LRESULT CALLBACK LabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Hands a caption the control has not taken yet to it, without the STATIC's own paint.
    void HandOverCaption();
    // Ends the subclassing, once; the STATIC's procedure, null when it was already given back.
    WNDPROC GiveBackProcedure();

    HWND label_;
    WNDPROC staticProc_ = nullptr;
    Text caption_;
    // caption_ is newer than the control's own text.
    bool captionPending_ = false;
    // The label has been invalidated for a caption and not painted since.
    bool paintPending_ = false;
};

class Win32CursorProbe : public CursorProbe {
public:
    bool GetCursorPos(ScreenPoint& point) override;
    NativeHandle WindowFromPoint(ScreenPoint point) override;
};
