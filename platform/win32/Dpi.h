#pragma once
// The DPI a window is shown at and what depends on it. Windows 10 tells each window the DPI of
// its monitor; the functions for that are looked up at run time, so that on older Windows, which
// lacks them, every window takes the system DPI instead.
#include "platform/win32/GdiObjects.h"

// The window's DPI; the system DPI where Windows cannot tell a window's own.
int WindowDpi(HWND window);
// GetSystemMetrics as it would answer at dpi.
int SystemMetricForDpi(int index, int dpi);
// The outer rectangle of a window whose client area is client, at dpi.
RECT FrameForClient(const RECT& client, DWORD style, DWORD exStyle, int dpi);
// The font that dialogs use by default (DEFAULT_GUI_FONT), at dpi.
UniqueFont DialogFont(int dpi);
