#include "platform/win32/Win32Worker.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"

#include <atomic>
#include <cmath>

namespace {

DWORD Milliseconds(double seconds)
{
    return seconds >= INFINITE / 1000.0 ? INFINITE : static_cast<DWORD>(std::ceil(seconds * 1000));
}

class Win32WorkerThread final : public WorkerThread {
public:
    Win32WorkerThread()
    {
        if (!jobReady_) throw Win32Error(GetLastError());
        // The thread uses this object until it ends: the owner keeps it until Join has said so.
        thread_ = UniqueHandle(CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
        if (!thread_) throw Win32Error(GetLastError());
    }
    Win32WorkerThread(const Win32WorkerThread&) = delete;
    Win32WorkerThread& operator=(const Win32WorkerThread&) = delete;

    void Run(std::function<void()> job) override
    {
        job_ = std::move(job);
        SetEvent(jobReady_.Get());
    }

    bool Join(double seconds) override
    {
        quit_ = true;
        SetEvent(jobReady_.Get());
        return WaitForSingleObject(thread_.Get(), Milliseconds(seconds)) == WAIT_OBJECT_0;
    }

private:
    static DWORD WINAPI ThreadMain(void* parameter)
    {
        auto& self = *static_cast<Win32WorkerThread*>(parameter);
        // An auto-reset event: each wait that sees it takes the job handed with it, or the quit.
        while (WaitForSingleObject(self.jobReady_.Get(), INFINITE) == WAIT_OBJECT_0) {
            if (self.job_) {
                // The job reports through what it shares; an exception only means it did not get there.
                try {
                    std::exchange(self.job_, nullptr)();
                } catch (...) {
                }
            }
            if (self.quit_) return 0;
        }
        return 0;
    }

    UniqueHandle jobReady_{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    std::function<void()> job_;
    std::atomic<bool> quit_{false};
    UniqueHandle thread_;
};

} // namespace

std::unique_ptr<WorkerThread> Win32Worker::NewThread() { return std::make_unique<Win32WorkerThread>(); }
