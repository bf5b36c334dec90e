#include "tests/fakes/FakeInternet.h"

#include "tests/fakes/FakeWorker.h"

#include <algorithm>
#include <cstring>

namespace {

class FakeResponse : public HttpResponse {
public:
    FakeResponse(FakeInternet& net, FakeResource resource) : net_(net), resource_(std::move(resource))
    {
        ++net_.openResponses;
    }
    ~FakeResponse() override
    {
        --net_.openResponses;
        net_.log.push_back(u"CloseUrl");
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
        net_.log.push_back(u"Read");
        if (net_.onRead) net_.onRead(static_cast<int>(next_));
        if (resource_.stallAtRead == next_) throw NeverReturns{};
        bytesRead = 0;
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
    void Abort() override { net_.log.push_back(u"AbortUrl"); }

private:
    FakeInternet& net_;
    FakeResource resource_;
    std::size_t next_ = 0;
    // Bytes of reads[next_] already given out.
    std::size_t taken_ = 0;
};

class FakeSession : public InternetSession {
public:
    explicit FakeSession(FakeInternet& net) : net_(net) { ++net_.openSessions; }
    ~FakeSession() override
    {
        --net_.openSessions;
        net_.log.push_back(u"CloseSession");
    }
    std::unique_ptr<HttpResponse> OpenUrl(const Text& url, const ByteRange& range) override
    {
        net_.log.push_back(u"OpenUrl " + url);
        net_.requests.push_back({url, range});
        FakeResource resource;
        if (auto queued = net_.nextAnswers.find(url); queued != net_.nextAnswers.end() && !queued->second.empty()) {
            resource = std::move(queued->second.front());
            queued->second.pop_front();
        } else if (auto found = net_.resources.find(url); found != net_.resources.end()) {
            resource = found->second;
        } else {
            lastFailure_ = InternetFailure::Connection;
            return nullptr;
        }
        if (resource.openFails) {
            lastFailure_ = *resource.openFails;
            return nullptr;
        }
        if (resource.stallBeforeHead) throw NeverReturns{};
        return std::make_unique<FakeResponse>(net_, std::move(resource));
    }
    InternetFailure LastFailure() const override { return lastFailure_; }
    void Abort() override { net_.log.push_back(u"AbortSession"); }

private:
    FakeInternet& net_;
    InternetFailure lastFailure_ = InternetFailure::Connection;
};

} // namespace

std::unique_ptr<InternetSession> FakeInternet::Open(const Text& agent)
{
    log.push_back(u"Open " + agent);
    if (sessionFails) return nullptr;
    return std::make_unique<FakeSession>(*this);
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
