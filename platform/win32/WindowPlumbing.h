#pragma once
// What every window class of the program needs from user32.
#include <windows.h>

// What a window of the program is created for (CreateWindowExW's last argument): the one window
// procedure hands it every message of the window from WM_NCCREATE to WM_NCDESTROY, both included,
// and nothing afterwards. An object may own windows of several classes.
class WindowObject {
public:
    virtual LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~WindowObject() = default;
};

// Registers a window class of this program, with the one window procedure and the arrow pointer,
// once per name. A window of it created without a WindowObject gets the default handling.
void RegisterWindowClass(const wchar_t* name, HBRUSH background, HICON icon = nullptr, UINT classStyle = 0);

// A visible STATIC child at the given rectangle of the parent's client area; null on failure.
HWND CreateStatic(HWND parent, int id, DWORD style, const RECT& at, const wchar_t* caption = L"");
