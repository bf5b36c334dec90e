#pragma once
// Reading the parts of an HTTP answer that decide what a transfer does with it.
#include "platform/Text.h"

#include <cstdint>
#include <string_view>

// The Content-Length header's digits, with blanks around them as the buffer of blanks leaves
// them; raises TransferFailed when it is no number or beyond 32 bits.
std::int32_t ContentLength(std::string_view text);

// Whether a 206 answer's Content-Range ("bytes first-last/total") is exactly the rest of a file
// of `length` bytes from `from` on.
bool IsRestOfFile(TextView contentRange, std::int64_t from, std::int32_t length);

// What If-Range may carry for a file served with these headers: a strong ETag, else the
// Last-Modified date, else "" (a weak ETag must not be used for a range).
Text RangeValidator(const Text& etag, const Text& lastModified);

bool IsRedirect(std::uint32_t status);
// The absolute URL a Location header points to, read against the URL that answered with it.
Text RedirectTarget(const Text& from, const Text& location);
// Whether the URL's scheme is https, in any letter case.
bool IsHttps(TextView url);
// A redirect from https to anything else would let a stranger on the way pick the file.
bool IsDowngrade(const Text& from, const Text& to);
