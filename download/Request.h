#pragma once
// One request for a remote file and its body, on a thread of its own that nothing else uses. The
// thread opens the URL and follows its redirects, then reads the body ahead into a buffer; it wakes
// the window's thread (EventPump::Wake) whenever there is something new, and the window's thread
// looks at the request in its next step. No call here waits.
#include "download/ReadAheadBuffer.h"
#include "platform/Platform.h"

#include <atomic>
#include <memory>

class Request {
public:
    // Starts opening url, asking for range, on thread.
    Request(Platform& platform, std::unique_ptr<WorkerThread> thread, const Text& agent, const Text& url,
            const ByteRange& range);
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;
    // Only once End has returned true (Requests sees to it): then the response is closed, then the
    // session.
    ~Request() = default;

    // The window's thread only, from here on.

    // The open is still under way: no response head has come yet.
    bool Opening() const { return phase_ == Phase::Opening && jobRunning_; }
    // Once Opening() is false: the final answer of the redirects, or raises TransferFailed when
    // there is none (the network's fault) or a redirect leaves https.
    HttpResponse& Response();
    // Starts reading the body ahead.
    void ReadBody();
    // Copies what has been read ahead into out, up to its size.
    std::size_t Take(std::span<std::byte> out);
    // When Take finds nothing: true while more of the body is on its way, false once it has ended.
    // Raises TransferFailed (the network's fault) once the connection was lost.
    bool MoreToCome();

    // Makes the thread's network call return soon and keeps it from making another; the request
    // is of no further use.
    void Abort();
    // A job is running on the thread, or was handed to it.
    bool Busy() const { return jobRunning_; }
    // Lets the thread end and waits for that, at most `seconds`; true once it has ended.
    bool End(double seconds) { return thread_->Join(seconds); }

private:
    enum class Phase { Opening, Opened, Reading };

    void Start(std::function<void()> job);
    // On the thread.
    void Open(Text url, const ByteRange& range);
    void Fill();
    void JobDone();
    // What Response raises: a reason of FailureReason, and whether only the network was to blame.
    void OpenFailed(const Text& reason, bool network);
    void OpenFailed(InternetFailure failure);

    Platform& platform_;
    const std::unique_ptr<WorkerThread> thread_;
    // Made before the thread starts; aborted from this thread while the thread uses it.
    std::unique_ptr<InternetSession> session_;
    // Set by the open job; the window's thread reads it once that job is done.
    std::unique_ptr<HttpResponse> response_;
    const Text* openFailure_ = nullptr;
    bool openFailedOnNetwork_ = false;
    // The body read ahead: the thread appends, the window's thread takes chunks.
    ReadAheadBuffer buffer_;
    // Set by a fill before it is done.
    bool ended_ = false;
    bool failed_ = false;
    // Everything a job writes is written before it clears this.
    std::atomic<bool> jobRunning_{false};
    std::atomic<bool> aborted_{false};
    Phase phase_ = Phase::Opening;
};
