#pragma once
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

// Asks for a file from byte `from` on; 0 asks for the whole file and sends no Range header.
struct ByteRange {
    std::int64_t from = 0;
    // Sent as If-Range when not "": the file's ETag or Last-Modified as first served.
    Text ifRange;
};

enum class HttpHeader { ETag, LastModified, ContentRange, Location };

// One opened URL; its handle is closed when the object is destroyed.
class HttpResponse {
public:
    virtual ~HttpResponse() = default;
    // HTTP status code, or nothing when the response has none (not HTTP).
    virtual std::optional<std::uint32_t> StatusCode() = 0;
    // The Content-Length header queried as text into a buffer of 4096 blanks:
    // the bytes up to the first zero byte, or all the blanks when the query failed.
    virtual std::string ContentLengthText() = 0;
    // The header's value as sent, "" when the response has none.
    virtual Text Header(HttpHeader header) = 0;
    // Waits until some bytes have arrived or the data has ended (0 bytes). False on failure.
    virtual bool Read(std::span<std::byte> buffer, std::size_t& bytesRead) = 0;
    // Callable from any thread, also while Read blocks: closes the request, so that a blocked
    // call returns (at once on Windows; Wine only lets it return when the socket does).
    virtual void Abort() = 0;
};

// Why a URL could not be opened.
enum class InternetFailure {
    Connection,      // no answer: name, route, proxy or server
    SecureChannel,   // no TLS channel, or a certificate that is not trusted for the host
    ProxyCredentials, // the proxy still asks for credentials (407): WinINet had none it could send
};

// The kind of a WinINet error code (GetLastError after a failing call).
InternetFailure InternetFailureOf(std::uint32_t winInetError);

// The root Internet handle; closed when destroyed, after its responses.
class InternetSession {
public:
    virtual ~InternetSession() = default;
    // Asks without any cache and without cookies, and follows no redirect: a redirect comes
    // back as the response it is. Null when the URL cannot be opened; LastFailure then says why.
    virtual std::unique_ptr<HttpResponse> OpenUrl(const Text& url, const ByteRange& range) = 0;
    virtual InternetFailure LastFailure() const = 0;
    // As HttpResponse::Abort, for an OpenUrl that blocks before its response has come.
    virtual void Abort() = 0;
};

class Internet {
public:
    virtual ~Internet() = default;
    // Null when the session cannot be opened. Asks WinINet to give up connecting after 30 s.
    virtual std::unique_ptr<InternetSession> Open(const Text& agent) = 0;
    // How long a request may wait for its next byte before it counts as stalled.
    virtual double StallTimeoutSeconds() const = 0;
};
