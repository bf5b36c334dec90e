#pragma once
// Calls that may block on the network run away from the window's thread, which keeps
// serving its windows while it waits for them.
#include <functional>

enum class WaitOutcome {
    Done,      // the job has returned
    Stopped,   // stop() said yes after an event was served; the job is left running
    TimedOut,  // the job has not returned in time; it is left running
};

class Worker {
public:
    virtual ~Worker() = default;
    // Starts job on a thread of its own and returns at once. A job that is left running, by
    // a wait that gave up or by a new Start before its wait, goes on alone, so it must own
    // (share) everything it touches; whoever gave up on it makes it return soon, for instance
    // by aborting the request it blocks in.
    virtual void Start(std::function<void()> job) = 0;
    // Waits for the started job, serving window events; done at once when none was started.
    // stop() is asked before every wait and after every batch of events served.
    virtual WaitOutcome Wait(double timeoutSeconds, const std::function<bool()>& stop) = 0;
    // Serves window events for the given time; false when stop() said yes before it had passed.
    virtual bool Pause(double seconds, const std::function<bool()>& stop) = 0;
};
