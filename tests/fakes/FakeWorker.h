#pragma once
// Runs each job when it is waited for, on the caller's thread; a job nobody waits for never
// runs. A fake call that blocks for good throws NeverReturns; the wait for it then serves the
// test's events and ends as a stop or a timeout.
#include "platform/Worker.h"

#include <sstream>
#include <string>
#include <utility>
#include <vector>

struct NeverReturns {};

class FakeWorker : public Worker {
public:
    // "stall <timeout>" for a wait that ran into a call that never returns, "pause <seconds>".
    std::vector<std::string> log;
    // The events served while a wait lasts; they may confirm a cancel.
    std::function<void()> duringWait;

    void Start(std::function<void()> job) override { started_ = std::move(job); }

    WaitOutcome Wait(double timeoutSeconds, const std::function<bool()>& stop) override
    {
        const auto job = std::exchange(started_, nullptr);
        if (!job) return WaitOutcome::Done;
        try {
            job();
            return WaitOutcome::Done;
        } catch (const NeverReturns&) {
            log.push_back("stall " + Seconds(timeoutSeconds));
            return Waited(stop) ? WaitOutcome::Stopped : WaitOutcome::TimedOut;
        }
    }

    bool Pause(double seconds, const std::function<bool()>& stop) override
    {
        log.push_back("pause " + Seconds(seconds));
        return !Waited(stop);
    }

private:
    std::function<void()> started_;

    bool Waited(const std::function<bool()>& stop)
    {
        if (duringWait) duringWait();
        return stop();
    }

    static std::string Seconds(double seconds)
    {
        std::ostringstream text;
        text << seconds;
        return text.str();
    }
};
