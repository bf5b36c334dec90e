#include "download/Connection.h"

#include "download/HttpAnswers.h"
#include "download/ReadAheadBuffer.h"
#include "download/TransferFailure.h"

#include <algorithm>
#include <utility>

namespace {
// One read takes what has arrived, up to this much.
constexpr std::size_t BlockSize = 64 * 1024;
// The body is read this far ahead of the chunks taken from it, so that the network does not wait
// while a chunk is written and shown, nor the window's thread for every block.
constexpr std::size_t BufferSize = 8 * BlockSize;
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
    // The body read ahead: the worker appends, the window's thread takes chunks.
    ReadAheadBuffer buffer{BufferSize};
    // Set by a fill before it returns.
    bool ended = false;
    bool failed = false;
};

Connection::Connection(Platform& platform, std::function<bool()> cancelled)
    : platform_(platform), cancelled_(std::move(cancelled)), shared_(std::make_shared<Shared>())
{
}

Connection::~Connection()
{
    // A fill that nobody will take from is given up on like any other job.
    if (filling_) LeaveRunningJob();
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
    filling_ = false;
}

void Connection::GiveUp(WaitOutcome outcome)
{
    LeaveRunningJob();
    if (outcome == WaitOutcome::Stopped) throw TransferCancelled{};
    FailNetwork(FailureReason::Stalled);
}

void Connection::Await(WorkerJob job, double timeoutSeconds)
{
    platform_.worker.Start(std::move(job));
    const auto outcome = platform_.worker.Wait(timeoutSeconds, cancelled_);
    if (outcome != WaitOutcome::Done) GiveUp(outcome);
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
        Await([shared = shared_, target, range](JobNews&) { shared->opened = shared->session->OpenUrl(target, range); },
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
    while (filled < chunk.size()) {
        const std::size_t took = shared_->buffer.Take(chunk.subspan(filled));
        filled += took;
        if (took == 0 && !AwaitBytes()) break;
    }
    return filled;
}

bool Connection::AwaitBytes()
{
    while (shared_->buffer.Empty()) {
        if (!filling_) {
            // What came before the data's end or a failure has all been taken.
            if (shared_->failed) FailNetwork(FailureReason::ConnectionLost);
            if (shared_->ended) return false;
            platform_.worker.Start([shared = shared_](JobNews& news) { Fill(*shared, news); });
            filling_ = true;
        }
        const auto outcome = platform_.worker.Wait(platform_.internet.StallTimeoutSeconds(), cancelled_);
        if (outcome == WaitOutcome::Done)
            filling_ = false;
        else if (outcome != WaitOutcome::News)
            GiveUp(outcome);
    }
    return true;
}

void Connection::Fill(Shared& shared, JobNews& news)
{
    while (true) {
        const auto room = shared.buffer.Room(BlockSize);
        // Full: the window's thread starts the next fill once it has taken everything.
        if (room.empty()) return;
        std::size_t count = 0;
        if (!shared.response->Read(room, count)) {
            shared.failed = true;
            return;
        }
        if (count == 0) {
            shared.ended = true;
            return;
        }
        if (shared.buffer.Appended(count)) news.Tell();
    }
}
