#pragma once
// The window thread's events as the tests script them, and its message loop for background work.
#include "platform/EventPump.h"
#include "tests/fakes/FakeProcesses.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

class FakeEventPump : public EventPump {
public:
    int calls = 0;
    int waits = 0;                            // WaitForEvents
    std::function<void()> onDoEvents;         // the events that are pending this time
    std::vector<double> sentMessageWaits;     // ServeSentMessages, in seconds
    // What the loop slept for between steps, in seconds, when a step asked for it.
    std::vector<double> sleeps;
    BackgroundWork* work = nullptr;
    std::atomic<bool> woken{false};

    void DoEvents() override
    {
        ++calls;
        if (onDoEvents) onDoEvents();
    }
    void WaitForEvents() override { ++waits; }
    void ServeSentMessages(double seconds) override { sentMessageWaits.push_back(seconds); }
    void Wake() override { woken = true; }
    void SetBackgroundWork(BackgroundWork* background) override { work = background; }

    // Set when the worker's jobs run alongside the test (FakeWorker::settle off): the loop then
    // waits for their wakes in real time, serving events meanwhile, as the program's loop serves
    // its timer ticks.
    bool alongside = false;

    // Steps `background` as the program's message loop does: the pending events are served after
    // each step, and the clock moves on to when a step asked for the next. Ends once done() says
    // yes, and without done once the work waits for a wake; raises when done is given and the work
    // waits for a wake that does not come within a few seconds.
    void Run(BackgroundWork& background, FakeClock& clock, const std::function<bool()>& done = nullptr)
    {
        while (!done || !done()) {
            woken = false;
            const double due = background.Step();
            if (done && done()) return;
            DoEvents();
            if (woken || due <= 0 || (alongside && WokenWithin(std::isfinite(due) ? 1 : 5))) continue;
            if (!std::isfinite(due) && !done) return;
            if (!std::isfinite(due)) throw std::runtime_error("the work waits for a wake that does not come");
            sleeps.push_back(due);
            clock.now += due;
        }
    }

private:
    bool WokenWithin(double seconds)
    {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (!woken && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            DoEvents();
        }
        return woken;
    }
};
