#pragma once
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// One opened URL; its handle is closed when the object is destroyed.
class HttpResponse {
public:
    virtual ~HttpResponse() = default;
    // HTTP status code, or nothing when the response has none (not HTTP).
    virtual std::optional<std::uint32_t> StatusCode() = 0;
    // The Content-Length header queried as text into a buffer of 4096 blanks:
    // the bytes up to the first zero byte, or all the blanks when the query failed.
    virtual std::string ContentLengthText() = 0;
    // Waits until the buffer is full or the data has ended. False on failure.
    virtual bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) = 0;
};

// Why a URL could not be opened.
enum class InternetFailure {
    Connection,      // no answer: name, route, proxy or server
    SecureChannel,   // no TLS channel, or a certificate that is not trusted for the host
};

// The kind of a WinINet error code (GetLastError after a failing call).
InternetFailure InternetFailureOf(std::uint32_t winInetError);

// The root Internet handle; closed when destroyed, after its responses.
class InternetSession {
public:
    virtual ~InternetSession() = default;
    // Null when the URL cannot be opened; LastFailure then says why.
    virtual std::unique_ptr<HttpResponse> OpenUrl(const Text& url) = 0;
    virtual InternetFailure LastFailure() const = 0;
};

class Internet {
public:
    virtual ~Internet() = default;
    // Null when the session cannot be opened.
    virtual std::unique_ptr<InternetSession> Open(const Text& agent) = 0;
};
