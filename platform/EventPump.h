#pragma once
// The window thread's events, and the work that thread takes on in steps between them.
#include <functional>

// Work the window's thread does a piece at a time, from its own message loop: a step never waits
// and never serves an event, so that no handler runs nested inside it.
class BackgroundWork {
public:
    virtual ~BackgroundWork() = default;
    // Takes the work as far as it goes without waiting. Returns in how many seconds the next step is
    // due: 0 as soon as the pending events have been served, infinity only once Wake is called.
    virtual double Step() = 0;
};

class EventPump {
public:
    virtual ~EventPump() = default;
    // Dispatches every pending window event (timer ticks, clicks) and returns.
    virtual void DoEvents() = 0;
    // Sleeps until a window event is pending; serves none itself.
    virtual void WaitForEvents() = 0;
    // Waits `seconds`, serving only the messages that other threads send to our windows: no input,
    // timer tick or posted message is dispatched, so no handler runs nested in the wait.
    virtual void ServeSentMessages(double seconds) = 0;
    // From any thread: the background work's next step is due at once.
    virtual void Wake() = 0;
    // The work the program's message loop steps between events; null for none.
    virtual void SetBackgroundWork(BackgroundWork* work) = 0;
};
