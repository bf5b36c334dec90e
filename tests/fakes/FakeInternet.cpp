#include "tests/fakes/FakeInternet.h"

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
    bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) override
    {
        net_.log.push_back(u"Read");
        if (net_.onRead) net_.onRead(next_);
        bytesRead = 0;
        if (next_ >= resource_.reads.size()) {
            ++next_;
            return !resource_.failAfterReads;
        }
        const auto& chunk = resource_.reads[next_++];
        bytesRead = std::min(chunk.size(), buffer.size());
        std::memcpy(buffer.data(), chunk.data(), bytesRead);
        return true;
    }

private:
    FakeInternet& net_;
    FakeResource resource_;
    std::size_t next_ = 0;
};

class FakeSession : public InternetSession {
public:
    explicit FakeSession(FakeInternet& net) : net_(net) { ++net_.openSessions; }
    ~FakeSession() override
    {
        --net_.openSessions;
        net_.log.push_back(u"CloseSession");
    }
    std::unique_ptr<HttpResponse> OpenUrl(const Text& url) override
    {
        net_.log.push_back(u"OpenUrl " + url);
        auto found = net_.resources.find(url);
        if (found == net_.resources.end()) {
            lastFailure_ = InternetFailure::Connection;
            return nullptr;
        }
        if (found->second.openFails) {
            lastFailure_ = *found->second.openFails;
            return nullptr;
        }
        return std::make_unique<FakeResponse>(net_, found->second);
    }
    InternetFailure LastFailure() const override { return lastFailure_; }

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

FakeResource FakeInternet::Body(std::size_t size)
{
    FakeResource resource;
    std::string all(size, '\0');
    for (std::size_t i = 0; i < size; ++i) all[i] = static_cast<char>(i % 251);
    for (std::size_t at = 0; at < size; at += 4096) resource.reads.push_back(all.substr(at, 4096));
    return resource;
}
