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
    // Runs job on a thread of its own and waits for it, serving window events. stop() is asked
    // before every wait and after every batch of events served. A job that is left running goes
    // on alone, so it must own (share) everything it touches; whoever gave up on it makes it
    // return soon, for instance by aborting the request it blocks in.
    virtual WaitOutcome Run(std::function<void()> job, double timeoutSeconds, const std::function<bool()>& stop) = 0;
    // Serves window events for the given time; false when stop() said yes before it had passed.
    virtual bool Pause(double seconds, const std::function<bool()>& stop) = 0;
};
