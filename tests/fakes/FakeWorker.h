#pragma once
// Runs each job when it is waited for, on the caller's thread; a job nobody waits for never
// runs. A fake call that blocks for good throws NeverReturns; the wait for it then serves the
// test's events and ends as a stop or a timeout, unless the job told news before it blocked:
// that wait ends with the news, and the next one runs into the block.
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

    void Start(WorkerJob job) override
    {
        started_ = std::move(job);
        blocked_ = false;
    }

    WaitOutcome Wait(double timeoutSeconds, const std::function<bool()>& stop) override
    {
        if (std::exchange(blocked_, false)) return Stall(timeoutSeconds, stop);
        const auto job = std::exchange(started_, nullptr);
        if (!job) return WaitOutcome::Done;
        Told news;
        try {
            job(news);
            return WaitOutcome::Done;
        } catch (const NeverReturns&) {
            left_ = job;
            if (!news.told) return Stall(timeoutSeconds, stop);
            blocked_ = true;
            return WaitOutcome::News;
        }
    }

    bool Pause(double seconds, const std::function<bool()>& stop) override
    {
        log.push_back("pause " + Seconds(seconds));
        return !Waited(stop);
    }

    // Runs the job that blocked for good once more, as its call would go on after whoever
    // waited for it has gone: what the job touches must still be there.
    void RunLeftJob()
    {
        Told news;
        try {
            if (left_) left_(news);
        } catch (const NeverReturns&) {
        }
    }

private:
    struct Told final : JobNews {
        bool told = false;
        void Tell() override { told = true; }
    };

    WorkerJob started_;
    WorkerJob left_;
    // The job told news, then blocked: the next wait runs into the block.
    bool blocked_ = false;

    WaitOutcome Stall(double timeoutSeconds, const std::function<bool()>& stop)
    {
        log.push_back("stall " + Seconds(timeoutSeconds));
        return Waited(stop) ? WaitOutcome::Stopped : WaitOutcome::TimedOut;
    }

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
