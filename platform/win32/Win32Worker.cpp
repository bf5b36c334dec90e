#include "platform/win32/Win32Worker.h"

#include "platform/RuntimeError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Win32Dialogs.h"
#include "platform/win32/WideText.h"

#include <atomic>
#include <optional>
#include <span>

// Shared by the worker and its thread, so that a thread left running still has it.
struct Win32Worker::Thread final : JobNews {
    UniqueHandle jobReady{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle jobDone{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle jobNews{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    UniqueHandle thread;
    WorkerJob job;
    // Set when nobody waits for the thread any more: it ends after its job.
    std::atomic<bool> quit{false};

    void Tell() override { SetEvent(jobNews.Get()); }
};

namespace {

[[noreturn]] void RaiseLastError()
{
    const DWORD error = GetLastError();
    throw RuntimeError(static_cast<std::int32_t>(error), SystemErrorText(error));
}

// What a wait that returned woke says of the job whose events (done, then news) it waited on;
// nothing when it was not one of them.
std::optional<WaitOutcome> JobOutcome(DWORD woke, std::span<const HANDLE> job)
{
    if (woke >= WAIT_OBJECT_0 + job.size()) return std::nullopt;
    return woke == WAIT_OBJECT_0 ? WaitOutcome::Done : WaitOutcome::News;
}

// Serves the thread's window events until the job is done or tells news (no job's events: never),
// stop() says yes, or the time has passed. What the job signalled counts first.
WaitOutcome ServeEventsUntil(std::span<const HANDLE> job, double seconds, const std::function<bool()>& stop)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
    const auto count = static_cast<DWORD>(job.size());
    const auto signalledOr = [&](WaitOutcome otherwise) {
        if (job.empty()) return otherwise;
        return JobOutcome(WaitForMultipleObjects(count, job.data(), FALSE, 0), job).value_or(otherwise);
    };
    while (true) {
        if (stop()) return signalledOr(WaitOutcome::Stopped);
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return signalledOr(WaitOutcome::TimedOut);
        // Both are auto-reset events: the wait that sees one signalled has taken the signal. The
        // handles are looked at before the input.
        const DWORD woke = MsgWaitForMultipleObjectsEx(count, job.data(), static_cast<DWORD>(deadline - now),
                                                       QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (const auto outcome = JobOutcome(woke, job)) return *outcome;
        if (woke == WAIT_OBJECT_0 + count) Win32EventPump().DoEvents();
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
            thread.job(thread);
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
    if (!thread->jobReady || !thread->jobDone || !thread->jobNews) RaiseLastError();
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

void Win32Worker::Start(WorkerJob job)
{
    if (started_) Abandon();
    if (!idle_) idle_ = StartThread();
    // News that the thread's last job told after its last wait is not this job's.
    ResetEvent(idle_->jobNews.Get());
    idle_->job = std::move(job);
    SetEvent(idle_->jobReady.Get());
    started_ = true;
}

WaitOutcome Win32Worker::Wait(double timeoutSeconds, const std::function<bool()>& stop)
{
    if (!started_) return WaitOutcome::Done;
    const HANDLE events[] = {idle_->jobDone.Get(), idle_->jobNews.Get()};
    const WaitOutcome outcome = ServeEventsUntil(events, timeoutSeconds, stop);
    if (outcome == WaitOutcome::Done)
        started_ = false;
    else if (outcome != WaitOutcome::News)
        Abandon();
    return outcome;
}

bool Win32Worker::Pause(double seconds, const std::function<bool()>& stop)
{
    return ServeEventsUntil({}, seconds, stop) != WaitOutcome::Stopped;
}
