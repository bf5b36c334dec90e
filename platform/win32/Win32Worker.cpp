#include "platform/win32/Win32Worker.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/WideText.h"

#include <atomic>

// Shared by the worker and its thread, so that a thread left running still has it.
struct Win32Worker::Thread {
    UniqueHandle jobReady{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle jobDone{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle thread;
    std::function<void()> job;
    // Set when nobody waits for the thread any more: it ends after its job.
    std::atomic<bool> quit{false};
};

namespace {

[[noreturn]] void RaiseLastError()
{
    const DWORD error = GetLastError();
    throw RuntimeError(static_cast<std::int32_t>(error), SystemErrorText(error));
}

// Serves the thread's window events until done is signalled (none: never), stop() says yes, or
// the time has passed.
WaitOutcome ServeEventsUntil(HANDLE done, double seconds, const std::function<bool()>& stop)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    const DWORD handles = done ? 1 : 0;
    while (true) {
        if (done && WaitForSingleObject(done, 0) == WAIT_OBJECT_0) return WaitOutcome::Done;
        if (stop()) return WaitOutcome::Stopped;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return WaitOutcome::TimedOut;
        // done is an auto-reset event: the wait that sees it signalled has taken the signal.
        const DWORD woke = MsgWaitForMultipleObjectsEx(handles, done ? &done : nullptr, static_cast<DWORD>(deadline - now),
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (done && woke == WAIT_OBJECT_0) return WaitOutcome::Done;
        if (woke == WAIT_OBJECT_0 + handles) Win32EventPump().DoEvents();
        if (woke == WAIT_FAILED) RaiseLastError();
    }
}

} // namespace

DWORD WINAPI Win32Worker::ThreadMain(void* parameter)
{
    const std::unique_ptr<std::shared_ptr<Thread>> owner(static_cast<std::shared_ptr<Thread>*>(parameter));
    Thread& thread = **owner;
    while (WaitForSingleObject(thread.jobReady.Get(), INFINITE) == WAIT_OBJECT_0 && !thread.quit) {
        try {
            thread.job();
        } catch (...) {
            // The job reports through what it shares; an exception only means it did not get there.
        }
        // What the job shared is released before its caller hears that it is done.
        thread.job = nullptr;
        SetEvent(thread.jobDone.Get());
    }
    return 0;
}

std::shared_ptr<Win32Worker::Thread> Win32Worker::StartThread()
{
    auto thread = std::make_shared<Thread>();
    if (!thread->jobReady || !thread->jobDone) RaiseLastError();
    auto* parameter = new std::shared_ptr<Thread>(thread);
    thread->thread = UniqueHandle(CreateThread(nullptr, 0, ThreadMain, parameter, 0, nullptr));
    if (!thread->thread) {
        delete parameter;
        RaiseLastError();
    }
    return thread;
}

Win32Worker::~Win32Worker()
{
    if (!idle_) return;
    // A job still running is left to end on its own rather than waited for.
    if (started_) {
        Abandon();
        return;
    }
    idle_->quit = true;
    SetEvent(idle_->jobReady.Get());
    WaitForSingleObject(idle_->thread.Get(), INFINITE);
}

void Win32Worker::Abandon()
{
    idle_->quit = true;
    // Wakes a thread that has already finished its job and waits for the next one.
    SetEvent(idle_->jobReady.Get());
    idle_.reset();
    started_ = false;
}

void Win32Worker::Start(std::function<void()> job)
{
    if (started_) Abandon();
    if (!idle_) idle_ = StartThread();
    idle_->job = std::move(job);
    SetEvent(idle_->jobReady.Get());
    started_ = true;
}

WaitOutcome Win32Worker::Wait(double timeoutSeconds, const std::function<bool()>& stop)
{
    if (!started_) return WaitOutcome::Done;
    const WaitOutcome outcome = ServeEventsUntil(idle_->jobDone.Get(), timeoutSeconds, stop);
    if (outcome == WaitOutcome::Done)
        started_ = false;
    else
        Abandon();
    return outcome;
}

bool Win32Worker::Pause(double seconds, const std::function<bool()>& stop)
{
    return ServeEventsUntil(nullptr, seconds, stop) != WaitOutcome::Stopped;
}
