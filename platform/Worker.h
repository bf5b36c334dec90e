#pragma once
// Calls that may block on the network run away from the window's thread, which keeps
// serving its windows while it waits for them.
#include <functional>

enum class WaitOutcome {
    Done,      // the job has returned
    News,      // the job told news and goes on; the next wait is for the same job
    Stopped,   // stop() said yes after an event was served; the job is left running
    TimedOut,  // the job has neither returned nor told news in time; it is left running
};

// Given to a running job: wakes the wait for it without the job returning.
class JobNews {
public:
    virtual void Tell() = 0;

protected:
    ~JobNews() = default;
};

using WorkerJob = std::function<void(JobNews& news)>;

class Worker {
public:
    virtual ~Worker() = default;
    // Starts job on a thread of its own and returns at once. A job that is left running, by
    // a wait that gave up or by a new Start before its wait has seen it return, goes on alone,
    // so it must own (share) everything it touches; whoever gave up on it makes it return soon,
    // for instance by aborting the request it blocks in.
    virtual void Start(WorkerJob job) = 0;
    // Waits for the started job to return or to tell news, serving window events; done at once
    // when none was started. stop() is asked before every wait and after every batch of events served.
    virtual WaitOutcome Wait(double timeoutSeconds, const std::function<bool()>& stop) = 0;
    // Serves window events for the given time; false when stop() said yes before it had passed.
    virtual bool Pause(double seconds, const std::function<bool()>& stop) = 0;
};
