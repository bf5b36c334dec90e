#include "platform/win32/WindowPlumbing.h"

void RegisterWindowClass(const wchar_t* name, WNDPROC windowProc, HBRUSH background, HICON icon, UINT classStyle)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &windowClass)) return;
    windowClass.style = classStyle;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = icon;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    // A failure shows when the first window of the class cannot be created.
    RegisterClassExW(&windowClass);
}

HWND CreateStatic(HWND parent, int id, DWORD style, const RECT& at, const wchar_t* caption)
{
    return CreateWindowExW(0, L"STATIC", caption, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, at.left, at.top,
                           at.right - at.left, at.bottom - at.top, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}
