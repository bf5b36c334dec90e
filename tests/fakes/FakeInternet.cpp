#include "tests/fakes/FakeInternet.h"

#include "tests/fakes/FakeWorker.h"

#include <algorithm>
#include <cstring>
#include <thread>

namespace {

// Counted open from construction to destruction, as a handle is.
class OpenHandle {
public:
    OpenHandle(FakeInternet& net, Text closing) : net_(net), closing_(std::move(closing)) { ++net_.open_; }
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    ~OpenHandle()
    {
        --net_.open_;
        net_.Record(closing_);
    }

private:
    FakeInternet& net_;
    Text closing_;
};

class FakeResponse : public HttpResponse {
public:
    FakeResponse(FakeInternet& net, FakeResource resource)
        : net_(net), handle_(net, u"CloseUrl"), resource_(std::move(resource))
    {
    }
    std::optional<std::uint32_t> StatusCode() override { return resource_.status; }
    std::string ContentLengthText() override
    {
        if (!resource_.contentLengthText.empty()) return resource_.contentLengthText;
        std::size_t total = 0;
        for (const auto& chunk : resource_.reads) total += chunk.size();
        return std::to_string(total);
    }
    Text Header(HttpHeader header) override
    {
        const auto found = resource_.headers.find(header);
        return found == resource_.headers.end() ? Text() : found->second;
    }
    bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) override
    {
        net_.Record(u"Read");
        bytesRead = 0;
        if (resource_.stallAtRead == next_) {
            abort_.Wait();
            std::this_thread::sleep_for(resource_.lingersAfterAbort);
            net_.Record(u"Unblocked");
            return false;
        }
        if (next_ >= resource_.reads.size()) {
            ++next_;
            return !resource_.failAfterReads;
        }
        // What does not fit comes with the next read.
        const auto& chunk = resource_.reads[next_];
        bytesRead = std::min(chunk.size() - taken_, buffer.size());
        std::memcpy(buffer.data(), chunk.data() + taken_, bytesRead);
        taken_ += bytesRead;
        if (taken_ == chunk.size()) {
            ++next_;
            taken_ = 0;
        }
        return true;
    }
    void Abort() override
    {
        net_.Record(u"AbortUrl");
        abort_.Release();
    }

private:
    FakeInternet& net_;
    OpenHandle handle_;
    FakeResource resource_;
    FakeBlock abort_;
    std::size_t next_ = 0;
    // Bytes of reads[next_] already given out.
    std::size_t taken_ = 0;
};

class FakeSession : public InternetSession {
public:
    explicit FakeSession(FakeInternet& net) : net_(net), handle_(net, u"CloseSession") {}
    std::unique_ptr<HttpResponse> OpenUrl(const Text& url, const ByteRange& range) override
    {
        net_.Record(u"OpenUrl " + url);
        auto resource = net_.Answer(url, range);
        if (!resource) {
            lastFailure_ = InternetFailure::Connection;
            return nullptr;
        }
        if (resource->openFails) {
            lastFailure_ = *resource->openFails;
            return nullptr;
        }
        if (resource->stallBeforeHead) {
            abort_.Wait();
            net_.Record(u"Unblocked");
            lastFailure_ = InternetFailure::Connection;
            return nullptr;
        }
        return std::make_unique<FakeResponse>(net_, std::move(*resource));
    }
    InternetFailure LastFailure() const override { return lastFailure_; }
    void Abort() override
    {
        net_.Record(u"AbortSession");
        abort_.Release();
    }

private:
    FakeInternet& net_;
    OpenHandle handle_;
    FakeBlock abort_;
    InternetFailure lastFailure_ = InternetFailure::Connection;
};

} // namespace

std::unique_ptr<InternetSession> FakeInternet::Open(const Text& agent)
{
    Record(u"Open " + agent);
    if (sessionFails) return nullptr;
    return std::make_unique<FakeSession>(*this);
}

void FakeInternet::Record(const Text& entry)
{
    std::lock_guard lock(mutex_);
    log_.push_back(entry);
}

std::optional<FakeResource> FakeInternet::Answer(const Text& url, const ByteRange& range)
{
    std::lock_guard lock(mutex_);
    requests_.push_back({url, range});
    if (auto queued = nextAnswers.find(url); queued != nextAnswers.end() && !queued->second.empty()) {
        FakeResource resource = std::move(queued->second.front());
        queued->second.pop_front();
        return resource;
    }
    if (auto found = resources.find(url); found != resources.end()) return found->second;
    return std::nullopt;
}

std::vector<Text> FakeInternet::Log() const
{
    std::lock_guard lock(mutex_);
    return log_;
}

std::vector<FakeRequest> FakeInternet::Requests() const
{
    std::lock_guard lock(mutex_);
    return requests_;
}

std::string FakeInternet::BodyBytes(std::size_t size)
{
    std::string all(size, '\0');
    for (std::size_t i = 0; i < size; ++i) all[i] = static_cast<char>(i % 251);
    return all;
}

FakeResource FakeInternet::Body(std::size_t size)
{
    FakeResource resource;
    const std::string all = BodyBytes(size);
    for (std::size_t at = 0; at < size; at += 4096) resource.reads.push_back(all.substr(at, 4096));
    return resource;
}
