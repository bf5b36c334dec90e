#pragma once
// Scripted HTTP: each URL maps to a response that the test describes.
#include "platform/Internet.h"

#include <functional>
#include <map>
#include <vector>

struct FakeResource {
    std::optional<std::uint32_t> status = 200;
    std::string contentLengthText;            // "" means: computed from the body
    std::vector<std::string> reads;           // what each successful read returns
    bool failAfterReads = false;              // a failing read follows the scripted reads
    std::optional<InternetFailure> openFails{}; // set: the URL cannot be opened, for this reason
};

class FakeInternet : public Internet {
public:
    bool sessionFails = false;
    std::map<Text, FakeResource> resources;   // a URL not listed cannot be opened
    std::vector<Text> log;                    // "Open <agent>", "OpenUrl <url>", "Read", "CloseUrl", "CloseSession"
    std::function<void(int readIndex)> onRead;  // runs before read number readIndex answers
    int openSessions = 0;
    int openResponses = 0;

    std::unique_ptr<InternetSession> Open(const Text& agent) override;

    // A body of n bytes whose byte i is i % 251, served in 4096-byte reads.
    static FakeResource Body(std::size_t size);
};
