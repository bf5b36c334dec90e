#pragma once
#include "platform/Worker.h"

#include <windows.h>

#include <memory>

// One thread that takes the jobs in turn. A job that is given up on keeps that thread until it
// returns; the next job gets a new one.
class Win32Worker : public Worker {
public:
    Win32Worker() = default;
    Win32Worker(const Win32Worker&) = delete;
    Win32Worker& operator=(const Win32Worker&) = delete;
    ~Win32Worker() override;

    void Start(WorkerJob job) override;
    WaitOutcome Wait(double timeoutSeconds, const std::function<bool()>& stop) override;
    bool Pause(double seconds, const std::function<bool()>& stop) override;

private:
    struct Thread;

    static std::shared_ptr<Thread> StartThread();
    static DWORD WINAPI ThreadMain(void* parameter);
    // Leaves the thread to end after its job; the next job gets a new one.
    void Abandon();

    std::shared_ptr<Thread> idle_;
    // A job was started and no wait has seen it return yet.
    bool started_ = false;
};
