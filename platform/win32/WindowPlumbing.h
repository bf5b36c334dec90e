#pragma once
// What every window class of the program needs from user32.
#include <windows.h>

// Registers a window class of this program with the arrow pointer, once per name.
void RegisterWindowClass(const wchar_t* name, WNDPROC windowProc, HBRUSH background, HICON icon = nullptr,
                         UINT classStyle = 0);

// A visible STATIC child at the given rectangle of the parent's client area; null on failure.
HWND CreateStatic(HWND parent, int id, DWORD style, const RECT& at, const wchar_t* caption = L"");

// The object a window was created for (CreateWindowExW's last argument): kept
// from WM_NCCREATE on, forgotten at WM_NCDESTROY so that nothing reaches it afterwards.
template <typename Owner>
Owner* WindowOwner(HWND window, UINT message, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return owner;
}
