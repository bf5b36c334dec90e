#pragma once
// Scripted HTTP: each URL maps to a response that the test describes. Requests are made on worker
// threads, so everything the fake records is kept under a lock.
#include "platform/Internet.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

struct FakeResource {
    std::optional<std::uint32_t> status = 200;
    std::string contentLengthText{};          // "" means: computed from the reads
    std::vector<std::string> reads{};         // what each successful read returns
    bool failAfterReads = false;              // a failing read follows the scripted reads
    std::map<HttpHeader, Text> headers{};
    std::optional<InternetFailure> openFails{}; // set: the URL cannot be opened, for this reason
    bool stallBeforeHead = false;             // the request is sent and answered only by an abort
    std::optional<std::size_t> stallAtRead{}; // this read (0 = first) returns only when aborted, failing
    std::chrono::milliseconds lingersAfterAbort{}; // ...and takes this long to return then, as under Wine
};

struct FakeRequest {
    Text url;
    ByteRange range;
};

class FakeInternet : public Internet {
public:
    bool sessionFails = false;
    std::map<Text, FakeResource> resources;   // a URL not listed cannot be opened
    // Taken one per request of the URL before `resources` is looked at.
    std::map<Text, std::deque<FakeResource>> nextAnswers;
    double stallTimeout = 60;

    std::unique_ptr<InternetSession> Open(const Text& agent) override;
    double StallTimeoutSeconds() const override { return stallTimeout; }

    // "Open <agent>", "OpenUrl <url>", "Read", "Unblocked" (a stalled call returned), "CloseUrl",
    // "CloseSession", "AbortUrl", "AbortSession".
    std::vector<Text> Log() const;
    std::vector<FakeRequest> Requests() const;
    // Sessions and responses not closed yet.
    int OpenHandles() const { return open_; }

    // A body of n bytes whose byte i is i % 251, served in 4096-byte reads.
    static FakeResource Body(std::size_t size);
    // The bytes of such a body.
    static std::string BodyBytes(std::size_t size);

    // For the fake's own sessions and responses.
    void Record(const Text& entry);
    // Records the request and takes its answer; nothing when the URL cannot be opened.
    std::optional<FakeResource> Answer(const Text& url, const ByteRange& range);
    std::atomic<int> open_{0};

private:
    mutable std::mutex mutex_;
    std::vector<Text> log_;
    std::vector<FakeRequest> requests_;
};
