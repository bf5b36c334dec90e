#pragma once
// Window layouts are designed in twips: 1440 to the logical inch, 15 to the
// pixel at 96 DPI. The program is system-DPI aware and scales them once.
#include <windows.h>

struct Twips {
    int left;
    int top;
    int width;
    int height;
};

// The logical DPI of the screen the program lays its windows out for.
int ScreenDpi();
RECT ToPixels(const Twips& twips, int dpi);
