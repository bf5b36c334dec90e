#pragma once
// Every function of a system DLL other than kernel32 and the C runtime that the program calls:
// the program's import table names only those two, which Windows maps from the system folder
// while the process starts, and each function here is bound at its first call, from the system
// folder (platform/win32/LateBinding.cpp). A system function called but missing here is bound
// through the import table instead, which scripts/check-exe.sh refuses.
//
// Each entry is X(<SystemDll member>, <function>); the function's type is the SDK's declaration.

#define MAVIK_LATE_BOUND_FUNCTIONS(X)                                                               \
    X(User32, AdjustWindowRectEx) X(User32, BeginPaint) X(User32, BringWindowToTop)                 \
    X(User32, CallWindowProcW) X(User32, CreateWindowExW) X(User32, DefWindowProcW)                 \
    X(User32, DestroyCursor) X(User32, DestroyIcon) X(User32, DestroyWindow)                        \
    X(User32, DispatchMessageW) X(User32, DrawFocusRect) X(User32, EndPaint) X(User32, FillRect)    \
    X(User32, GetActiveWindow) X(User32, GetClassInfoExW) X(User32, GetClientRect)                  \
    X(User32, GetCursorPos) X(User32, GetDC) X(User32, GetDlgCtrlID) X(User32, GetFocus)            \
    X(User32, GetMessageW) X(User32, GetParent) X(User32, GetSysColorBrush)                         \
    X(User32, GetSystemMetrics) X(User32, GetTopWindow) X(User32, GetWindow)                        \
    X(User32, GetWindowLongW) X(User32, GetWindowThreadProcessId) X(User32, InflateRect)            \
    X(User32, InvalidateRect) X(User32, KillTimer) X(User32, LoadCursorW) X(User32, LoadImageW)     \
    X(User32, MessageBoxW) X(User32, MoveWindow) X(User32, MsgWaitForMultipleObjects)               \
    X(User32, MsgWaitForMultipleObjectsEx) X(User32, PeekMessageW) X(User32, PostMessageW)          \
    X(User32, PostQuitMessage)                                                                      \
    X(User32, PostThreadMessageW) X(User32, RegisterClassExW) X(User32, ReleaseDC)                  \
    X(User32, SendMessageW) X(User32, SetCursor) X(User32, SetFocus) X(User32, SetTimer)            \
    X(User32, SetWindowLongW) X(User32, SetWindowPos) X(User32, SetWindowTextW)                     \
    X(User32, ShowWindow) X(User32, SystemParametersInfoW) X(User32, TranslateMessage)              \
    X(User32, UpdateWindow) X(User32, WindowFromPoint)                                              \
    X(Gdi32, BitBlt) X(Gdi32, CreateCompatibleBitmap) X(Gdi32, CreateCompatibleDC)                  \
    X(Gdi32, CreateDIBSection) X(Gdi32, CreateFontIndirectW) X(Gdi32, CreateFontW)                  \
    X(Gdi32, CreateSolidBrush) X(Gdi32, DeleteDC) X(Gdi32, DeleteObject) X(Gdi32, GetDeviceCaps)    \
    X(Gdi32, GetObjectW) X(Gdi32, GetStockObject) X(Gdi32, PatBlt) X(Gdi32, SelectObject)           \
    X(Gdi32, SetBkColor) X(Gdi32, SetBrushOrgEx) X(Gdi32, SetStretchBltMode) X(Gdi32, SetTextColor) \
    X(Gdi32, StretchBlt)                                                                            \
    X(Shell32, IsUserAnAdmin) X(Shell32, SHGetFolderPathW) X(Shell32, ShellExecuteW)                \
    X(Ole32, CLSIDFromProgID) X(Ole32, CoCreateInstance) X(Ole32, CoInitializeEx)                   \
    X(Ole32, CoSetProxyBlanket) X(Ole32, CoUninitialize)                                            \
    X(OleAut32, SysAllocString) X(OleAut32, SysFreeString) X(OleAut32, SysStringLen)                \
    X(OleAut32, VariantChangeType) X(OleAut32, VariantClear) X(OleAut32, VariantInit)               \
    X(Advapi32, ConvertStringSecurityDescriptorToSecurityDescriptorW) X(Advapi32, RegCloseKey)      \
    X(Advapi32, RegCreateKeyExW) X(Advapi32, RegGetValueW) X(Advapi32, RegSetValueExW)              \
    X(Advapi32, SetKernelObjectSecurity)                                                            \
    X(Crypt32, CertAddCertificateContextToStore) X(Crypt32, CertCloseStore)                         \
    X(Crypt32, CertFreeCertificateChain) X(Crypt32, CertGetCertificateChain)                        \
    X(Crypt32, CertGetNameStringW) X(Crypt32, CertOpenStore)                                        \
    MAVIK_LATE_BOUND_POINTER_SIZED(X)

// On 32-bit Windows the Ptr forms are macros for the functions above.
#ifdef _WIN64
#define MAVIK_LATE_BOUND_POINTER_SIZED(X) X(User32, GetWindowLongPtrW) X(User32, SetWindowLongPtrW)
#else
#define MAVIK_LATE_BOUND_POINTER_SIZED(X)
#endif
