#pragma once
// Scripted HTTP: each URL maps to a response that the test describes.
#include "platform/Internet.h"

#include <deque>
#include <functional>
#include <map>
#include <vector>

struct FakeResource {
    std::optional<std::uint32_t> status = 200;
    std::string contentLengthText{};          // "" means: computed from the reads
    std::vector<std::string> reads{};         // what each successful read returns
    bool failAfterReads = false;              // a failing read follows the scripted reads
    std::map<HttpHeader, Text> headers{};
    std::optional<InternetFailure> openFails{}; // set: the URL cannot be opened, for this reason
    bool stallBeforeHead = false;             // the request is sent and never answered
    std::optional<std::size_t> stallAtRead{}; // this read (0 = first) never returns
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
    std::vector<FakeRequest> requests;
    // "Open <agent>", "OpenUrl <url>", "Read", "CloseUrl", "CloseSession", "AbortUrl", "AbortSession"
    std::vector<Text> log;
    std::function<void(int readIndex)> onRead;  // runs before read number readIndex answers
    int openSessions = 0;
    int openResponses = 0;
    double stallTimeout = 60;

    std::unique_ptr<InternetSession> Open(const Text& agent) override;
    double StallTimeoutSeconds() const override { return stallTimeout; }

    // A body of n bytes whose byte i is i % 251, served in 4096-byte reads.
    static FakeResource Body(std::size_t size);
    // The bytes of such a body.
    static std::string BodyBytes(std::size_t size);
};
