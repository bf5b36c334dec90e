#pragma once
// One request for a remote file and its body. Every call that may block runs on the worker
// while the window goes on answering; a cancel gives up on the call at once, and so does a
// request that goes without a byte for the stall timeout, or without its response head for 30 s. A call given up on is aborted and
// left to end on its own: it shares, and so keeps alive, everything it touches.
#include "platform/Platform.h"

#include <functional>
#include <memory>

class Connection {
public:
    Connection(Platform& platform, std::function<bool()> cancelled);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    // Closes the response, then the session.
    ~Connection();

    // Opens url, asking for range, and follows its redirects. Raises TransferCancelled, or
    // TransferFailed when no response comes (the network's fault) or a redirect leaves https.
    HttpResponse& Open(const Text& agent, const Text& url, const ByteRange& range);

    // Fills chunk, except at the end of the data: 0 bytes once the data has ended. Raises
    // TransferCancelled, or TransferFailed (the network's fault) for a lost connection or a stall.
    std::size_t NextChunk(std::span<std::byte> chunk);

private:
    struct Shared;

    // Runs job on the worker; a cancel, or no return within the time, aborts the request and raises.
    void Await(WorkerJob job, double timeoutSeconds);
    // Aborts the request that a job left running blocks in, and lets go of what it shares; the
    // connection is of no further use.
    void LeaveRunningJob();
    // On the worker: reads into the buffer until it is full, the data ends or a read fails.
    static void Fill(Shared& shared, JobNews& news);
    // Raises for a wait that did not see its job return or tell news; the job is left running.
    [[noreturn]] void GiveUp(WaitOutcome outcome);
    // Waits until the worker has put bytes in the empty buffer, starting it filling when it is
    // not; false once the data has ended. A cancel or a stall aborts the request and raises.
    bool AwaitBytes();

    Platform& platform_;
    std::function<bool()> cancelled_;
    std::shared_ptr<Shared> shared_;
    // The worker is filling the buffer: no wait has seen that job return yet.
    bool filling_ = false;
};
