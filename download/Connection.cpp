#include "download/Connection.h"

#include "download/HttpAnswers.h"
#include "download/TransferFailure.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {
// Reads take what has arrived, up to this much; chunks are cut from it.
constexpr std::size_t BlockSize = 64 * 1024;
// A chain of redirects longer than this ends at its last answer, which then counts as an error.
constexpr int MaxRedirects = 10;
// Connecting and the wait for the response head together: WinINet's own connect timeout is not
// kept everywhere (Wine waits for the system's, over two minutes).
constexpr double OpenTimeoutSeconds = 30;
}

// What the worker's jobs touch: owned jointly by the connection and the job in progress.
struct Connection::Shared {
    std::shared_ptr<InternetSession> session;
    std::shared_ptr<HttpResponse> response;
    // Written by the open job only; taken over as the response once that job is done.
    std::shared_ptr<HttpResponse> opened;
    // The block being cut into chunks, and the one the read in progress fills.
    std::vector<std::byte> block = std::vector<std::byte>(BlockSize);
    std::size_t blockCount = 0;
    std::vector<std::byte> next = std::vector<std::byte>(BlockSize);
    std::size_t nextCount = 0;
    bool readOk = false;
};

Connection::Connection(Platform& platform, std::function<bool()> cancelled)
    : platform_(platform), cancelled_(std::move(cancelled)), shared_(std::make_shared<Shared>())
{
}

Connection::~Connection()
{
    // A read ahead that nobody will take is given up on like any other job.
    if (readStarted_) LeaveRunningJob();
    if (!shared_) return;
    shared_->response.reset();
    shared_->session.reset();
}

void Connection::LeaveRunningJob()
{
    // The job may still be running on shared_: the aborts make it return soon, and it releases
    // what it shares itself, so nothing here may free what its call uses.
    if (shared_->response) shared_->response->Abort();
    if (shared_->session) shared_->session->Abort();
    shared_.reset();
}

void Connection::Await(std::function<void()> job, double timeoutSeconds)
{
    platform_.worker.Start(std::move(job));
    AwaitStarted(timeoutSeconds);
}

void Connection::AwaitStarted(double timeoutSeconds)
{
    const auto outcome = platform_.worker.Wait(timeoutSeconds, cancelled_);
    if (outcome == WaitOutcome::Done) return;
    LeaveRunningJob();
    if (outcome == WaitOutcome::Stopped) throw TransferCancelled{};
    FailNetwork(FailureReason::Stalled);
}

HttpResponse& Connection::Open(const Text& agent, const Text& url, const ByteRange& range)
{
    auto& shared = *shared_;
    if (!shared.session) {
        shared.session = platform_.internet.Open(agent);
        if (!shared.session) FailNetwork(FailureReason::NoConnection);
    }
    Text target = url;
    for (int hop = 0;; ++hop) {
        shared.response.reset();
        Await([shared = shared_, target, range] { shared->opened = shared->session->OpenUrl(target, range); },
              std::min(OpenTimeoutSeconds, platform_.internet.StallTimeoutSeconds()));
        shared.response = std::move(shared.opened);
        // A channel that could not be secured stays so: trying again would not help.
        if (!shared.response && shared.session->LastFailure() == InternetFailure::SecureChannel)
            Fail(FailureReason::NoSecureChannel);
        if (!shared.response) FailNetwork(FailureReason::NoConnection);
        const auto status = shared.response->StatusCode();
        if (hop == MaxRedirects || !status || !IsRedirect(*status)) return *shared.response;
        const Text location = shared.response->Header(HttpHeader::Location);
        if (location.empty()) return *shared.response;
        const Text next = RedirectTarget(target, location);
        if (IsDowngrade(target, next)) Fail(FailureReason::InsecureRedirect);
        target = next;
    }
}

std::size_t Connection::NextChunk(std::span<std::byte> chunk)
{
    std::size_t filled = 0;
    while (filled < chunk.size() && !ended_) {
        if (blockUsed_ == shared_->blockCount) {
            TakeNextBlock();
            continue;
        }
        const std::size_t take = std::min(chunk.size() - filled, shared_->blockCount - blockUsed_);
        std::memcpy(chunk.data() + filled, shared_->block.data() + blockUsed_, take);
        filled += take;
        blockUsed_ += take;
    }
    return filled;
}

void Connection::StartRead()
{
    platform_.worker.Start([shared = shared_] { shared->readOk = shared->response->Read(shared->next, shared->nextCount); });
    readStarted_ = true;
}

void Connection::TakeNextBlock()
{
    if (!readStarted_) StartRead();
    readStarted_ = false;
    AwaitStarted(platform_.internet.StallTimeoutSeconds());
    if (!shared_->readOk) FailNetwork(FailureReason::ConnectionLost);
    std::swap(shared_->block, shared_->next);
    shared_->blockCount = std::exchange(shared_->nextCount, 0);
    blockUsed_ = 0;
    ended_ = shared_->blockCount == 0;
    // The next block comes in while this one is written and shown.
    if (!ended_) StartRead();
}
