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
    void Await(std::function<void()> job, double timeoutSeconds);
    // The same for the job already started.
    void AwaitStarted(double timeoutSeconds);
    // Aborts the request that a job left running blocks in, and lets go of what it shares; the
    // connection is of no further use.
    void LeaveRunningJob();
    // Reads the next block on the worker, while the caller goes on with the one it has.
    void StartRead();
    // Waits for the block being read, makes it the current one and starts reading the next.
    void TakeNextBlock();

    Platform& platform_;
    std::function<bool()> cancelled_;
    std::shared_ptr<Shared> shared_;
    std::size_t blockUsed_ = 0;
    bool ended_ = false;
    // A read was started and not yet waited for.
    bool readStarted_ = false;
};
