#include "download/Requests.h"

#include "download/Request.h"

#include <algorithm>

namespace {
// An idle thread ends at once; this only bounds a wait that should never take long.
constexpr double IdleEndSeconds = 1;
// At the program's end: longer would keep the user waiting for a call the process's end stops anyway.
constexpr double ExitWaitSeconds = 2;
}

Requests::Requests(Platform& platform) : platform_(platform) {}

Requests::~Requests()
{
    const double until = platform_.clock.MonotonicSeconds() + ExitWaitSeconds;
    for (auto& request : ending_) {
        if (request->End(std::max(0.0, until - platform_.clock.MonotonicSeconds()))) continue;
        // Its thread is still inside a call that uses the request: freeing it would pull that away
        // from under the call. The process ends next, and takes the thread with it.
        static_cast<void>(request.release());
    }
}

std::unique_ptr<Request> Requests::Open(const Text& agent, const Text& url, const ByteRange& range)
{
    std::erase_if(ending_, [](const auto& request) { return request->End(0); });
    if (!ending_.empty()) return nullptr;
    return std::make_unique<Request>(platform_, platform_.worker.NewThread(), agent, url, range);
}

void Requests::GiveUp(std::unique_ptr<Request> request)
{
    const bool busy = request->Busy();
    // Only a call in progress needs stopping; a request that has read its body is simply closed.
    if (busy) request->Abort();
    if (!request->End(busy ? 0 : IdleEndSeconds)) ending_.push_back(std::move(request));
}
