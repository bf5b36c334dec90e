#pragma once
#include "platform/Platform.h"

#include <memory>
#include <vector>

class Request;

// The requests of the program's downloads. The thread of a request that was given up on may still
// be inside a network call: the request is kept until that thread has ended, and no new request
// is made meanwhile, so that no handle of a new one can take the number of a handle that call may
// still use.
class Requests {
public:
    explicit Requests(Platform& platform);
    Requests(const Requests&) = delete;
    Requests& operator=(const Requests&) = delete;
    // Waits at most ExitWaitSeconds in all for the threads still ending; see the definition.
    ~Requests();

    // A new request, or null while one given up on is still ending: ask again shortly.
    std::unique_ptr<Request> Open(const Text& agent, const Text& url, const ByteRange& range);
    // Aborts request, and frees it once its thread has ended.
    void GiveUp(std::unique_ptr<Request> request);
    // How soon to ask Open again after it returned null.
    static constexpr double RetrySeconds = 0.05;

private:
    Platform& platform_;
    std::vector<std::unique_ptr<Request>> ending_;
};
