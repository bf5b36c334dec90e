#include "platform/win32/LoadedWindows.h"

#include <windows.h>

namespace {
int loadedCount = 0;
}

void LoadedWindows::Loaded() { ++loadedCount; }

void LoadedWindows::Unloaded()
{
    --loadedCount;
    // Wakes up the loop below, which may be blocked in GetMessage.
    if (loadedCount == 0) PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0);
}

int LoadedWindows::Count() { return loadedCount; }

void LoadedWindows::RunUntilNoneLoaded()
{
    MSG message;
    while (loadedCount > 0 && GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
