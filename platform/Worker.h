#pragma once
// Threads for the calls that may block on the network. Each thread belongs to one owner, which
// hands it one job at a time and frees what the jobs touch only once the thread has ended.
#include <functional>
#include <memory>

class WorkerThread {
public:
    // Lets a thread that has not ended (Join never said so) run on: whatever its job touches must
    // then stay.
    virtual ~WorkerThread() = default;
    // Hands job to the thread and returns at once; the job handed before has returned.
    virtual void Run(std::function<void()> job) = 0;
    // Lets the thread end once its job has returned and waits for that, at most `seconds`; true
    // once it has ended.
    virtual bool Join(double seconds) = 0;
};

class Worker {
public:
    virtual ~Worker() = default;
    // A thread waiting for its first job; raises RuntimeError when none can be made.
    virtual std::unique_ptr<WorkerThread> NewThread() = 0;
};
