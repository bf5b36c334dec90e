#include "platform/win32/LoadedWindows.h"

#include <windows.h>

namespace {
int loadedCount = 0;
}

void LoadedWindows::Loaded() { ++loadedCount; }

void LoadedWindows::Unloaded()
{
    --loadedCount;
    // Wakes up the program's message loop (Win32EventPump), which may be waiting for a message.
    if (loadedCount == 0) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

int LoadedWindows::Count() { return loadedCount; }
