#include "download/Request.h"

#include "download/HttpAnswers.h"
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
}

Request::Request(Platform& platform, std::unique_ptr<WorkerThread> thread, const Text& agent, const Text& url,
                 const ByteRange& range)
    : platform_(platform), thread_(std::move(thread)), session_(platform.internet.Open(agent)), buffer_(BufferSize)
{
    if (!session_) {
        OpenFailed(FailureReason::NoConnection, true);
        return;
    }
    Start([this, url, range] { Open(url, range); });
}

void Request::Start(std::function<void()> job)
{
    jobRunning_ = true;
    thread_->Run([this, job = std::move(job)] {
        job();
        JobDone();
    });
}

void Request::JobDone()
{
    jobRunning_ = false;
    // The request is freed only after this thread has ended, so platform_ is still there.
    platform_.events.Wake();
}

void Request::Open(Text url, const ByteRange& range)
{
    for (int hop = 0; !aborted_; ++hop) {
        auto response = session_->OpenUrl(url, range);
        if (!response) {
            OpenFailed(session_->LastFailure());
            return;
        }
        const auto status = response->StatusCode();
        const Text location =
            hop < MaxRedirects && status && IsRedirect(*status) ? response->Header(HttpHeader::Location) : Text();
        if (location.empty()) {
            response_ = std::move(response);
            return;
        }
        const Text next = RedirectTarget(url, location);
        if (IsDowngrade(url, next)) {
            OpenFailed(FailureReason::InsecureRedirect, false);
            return;
        }
        url = next;
    }
}

void Request::OpenFailed(InternetFailure failure)
{
    switch (failure) {
    // A channel that could not be secured, or a proxy without credentials, stays so: trying again
    // would not help.
    case InternetFailure::SecureChannel: return OpenFailed(FailureReason::NoSecureChannel, false);
    case InternetFailure::ProxyCredentials: return OpenFailed(FailureReason::ProxyCredentials, false);
    case InternetFailure::Connection: return OpenFailed(FailureReason::NoConnection, true);
    }
}

void Request::OpenFailed(const Text& reason, bool network)
{
    openFailure_ = &reason;
    openFailedOnNetwork_ = network;
}

HttpResponse& Request::Response()
{
    if (openFailure_) throw TransferFailed{*openFailure_, openFailedOnNetwork_};
    phase_ = Phase::Opened;
    return *response_;
}

void Request::ReadBody()
{
    phase_ = Phase::Reading;
    Start([this] { Fill(); });
}

void Request::Fill()
{
    while (!aborted_) {
        const auto room = buffer_.Room(BlockSize);
        // Full: the window's thread starts the next fill once it has taken everything.
        if (room.empty()) return;
        std::size_t count = 0;
        if (!response_->Read(room, count)) {
            failed_ = true;
            return;
        }
        if (count == 0) {
            ended_ = true;
            return;
        }
        if (buffer_.Appended(count)) platform_.events.Wake();
    }
    failed_ = true;
}

std::size_t Request::Take(std::span<std::byte> out) { return buffer_.Take(out); }

bool Request::MoreToCome()
{
    if (jobRunning_) return true;
    // The fill is done, and all it appended was there before it said so: take that first.
    if (!buffer_.Empty()) return true;
    if (failed_) FailNetwork(FailureReason::ConnectionLost);
    if (ended_) return false;
    Start([this] { Fill(); });
    return true;
}

void Request::Abort()
{
    aborted_ = true;
    if (phase_ != Phase::Opening) response_->Abort();
    if (session_) session_->Abort();
}
