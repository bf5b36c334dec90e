#pragma once
// Worker threads that are real threads, so that ThreadSanitizer sees what the logic shares with
// them. With `settle` on, Run waits until the job has returned or is blocked in a fake call
// (FakeBlock): a test then runs the same way every time. With it off, the job runs alongside.
#include "platform/Worker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace FakeThreads {
// One lock for every fake thread and block: tests are small, clarity beats contention.
inline std::mutex mutex;
inline std::condition_variable changed;

struct State {
    std::function<void()> job;
    bool quit = false;
    bool running = false;
    // Blocked in a FakeBlock that has not been released.
    bool blocked = false;
    bool ended = false;
};

inline thread_local State* current = nullptr;
}

// A fake network call that does not return until it is released, as an abort releases a blocked read.
class FakeBlock {
public:
    // On a worker thread.
    void Wait()
    {
        std::unique_lock lock(FakeThreads::mutex);
        if (released_) return;
        blocked_ = FakeThreads::current;
        if (blocked_) blocked_->blocked = true;
        FakeThreads::changed.notify_all();
        FakeThreads::changed.wait(lock, [this] { return released_; });
    }
    // From any thread.
    void Release()
    {
        std::lock_guard lock(FakeThreads::mutex);
        released_ = true;
        // Blocked no more: a join now waits for the job to return.
        if (blocked_) blocked_->blocked = false;
        FakeThreads::changed.notify_all();
    }

private:
    bool released_ = false;
    FakeThreads::State* blocked_ = nullptr;
};

class FakeWorkerThread final : public WorkerThread {
public:
    explicit FakeWorkerThread(bool settle) : settle_(settle), thread_([this] { Main(); }) {}
    FakeWorkerThread(const FakeWorkerThread&) = delete;
    FakeWorkerThread& operator=(const FakeWorkerThread&) = delete;
    ~FakeWorkerThread() override
    {
        // A test that leaves a thread blocked has failed already; it must not hang as well.
        if (thread_.joinable()) thread_.detach();
    }

    void Run(std::function<void()> job) override
    {
        std::unique_lock lock(FakeThreads::mutex);
        state_.job = std::move(job);
        state_.running = true;
        FakeThreads::changed.notify_all();
        if (settle_) FakeThreads::changed.wait(lock, [this] { return !state_.running || state_.blocked; });
    }

    bool Join(double seconds) override
    {
        {
            std::unique_lock lock(FakeThreads::mutex);
            state_.quit = true;
            FakeThreads::changed.notify_all();
            // Settled, a job that is not blocked is waited for whatever the time given: it returns soon.
            if (settle_) FakeThreads::changed.wait(lock, [this] { return state_.ended || state_.blocked; });
            const auto bound = std::chrono::duration<double>(seconds);
            if (!FakeThreads::changed.wait_for(lock, bound, [this] { return state_.ended; })) return false;
        }
        if (thread_.joinable()) thread_.join();
        return true;
    }

private:
    void Main()
    {
        FakeThreads::current = &state_;
        std::unique_lock lock(FakeThreads::mutex);
        while (true) {
            FakeThreads::changed.wait(lock, [this] { return state_.job || state_.quit; });
            if (!state_.job) break;
            auto job = std::exchange(state_.job, nullptr);
            lock.unlock();
            // As on Windows: the job reports through what it shares.
            try {
                job();
            } catch (...) {
            }
            lock.lock();
            state_.running = false;
            FakeThreads::changed.notify_all();
        }
        state_.ended = true;
        FakeThreads::changed.notify_all();
    }

    const bool settle_;
    FakeThreads::State state_;
    std::thread thread_;
};

class FakeWorker : public Worker {
public:
    bool settle = true;
    int threadsMade = 0;

    std::unique_ptr<WorkerThread> NewThread() override
    {
        ++threadsMade;
        return std::make_unique<FakeWorkerThread>(settle);
    }
};
