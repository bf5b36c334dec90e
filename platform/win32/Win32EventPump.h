#pragma once
// The window thread's events on Windows. The program's message loop serves every event and, when
// none is waiting, steps the background work; other threads wake it through a message-only window.
#include "platform/EventPump.h"
#include "platform/win32/GdiObjects.h"

#include <atomic>

class Win32EventPump final : public EventPump {
public:
    // Raises RuntimeError when the window that wakes the loop cannot be made.
    Win32EventPump();

    void DoEvents() override;
    void WaitForEvents() override;
    void ServeSentMessages(double seconds) override;
    void Wake() override;
    void SetBackgroundWork(BackgroundWork* work) override { work_ = work; }

    // Serves window events, and steps the background work whenever none is waiting, until no
    // window of the program is loaded (LoadedWindows) or WM_QUIT comes.
    void RunUntilNoneLoaded();

private:
    // Dispatches every pending message; false when WM_QUIT was among them.
    static bool DispatchPending();

    UniqueWindow wakeWindow_;
    // A wake message is on its way, or the loop has not stepped since it came.
    std::atomic<bool> woken_{false};
    BackgroundWork* work_ = nullptr;
};
