#pragma once
// Window layouts are designed in twips: 1440 to the logical inch, 15 to the
// pixel at 96 DPI. Each window scales them to the DPI of its monitor.
#include <windows.h>

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

// The system DPI: that of the primary monitor when the user logged on.
int ScreenDpi();
RECT ToPixels(const Twips& twips, int dpi);
