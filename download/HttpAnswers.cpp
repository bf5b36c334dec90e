#include "download/HttpAnswers.h"

#include "download/TransferFailure.h"

#include <algorithm>
#include <optional>

namespace {

// Digits only, no sign, no blanks; nothing when empty or beyond 63 bits.
std::optional<std::int64_t> Number(TextView digits)
{
    if (digits.empty() || digits.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    for (char16_t digit : digits) {
        if (digit < u'0' || digit > u'9') return std::nullopt;
        value = value * 10 + (digit - u'0');
    }
    return value;
}

bool StartsWithNoCase(TextView text, TextView prefix)
{
    return text.size() >= prefix.size() && ToLower(text.substr(0, prefix.size())) == ToLower(prefix);
}

bool HasScheme(TextView url)
{
    const auto colon = url.find(u':');
    if (colon == TextView::npos || colon == 0) return false;
    return std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char16_t c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'+' ||
               c == u'-' || c == u'.';
    });
}

} // namespace

std::int32_t ContentLength(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) Fail(FailureReason::UnknownSize);
    const auto digits = text.substr(first, text.find_last_not_of(' ') + 1 - first);
    constexpr std::int64_t beyond = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t value = 0;
    for (char digit : digits) {
        if (digit < '0' || digit > '9') Fail(FailureReason::UnknownSize);
        value = std::min(value * 10 + (digit - '0'), beyond);
    }
    return Checked<std::int32_t>(value);
}

bool IsRestOfFile(TextView contentRange, std::int64_t from, std::int32_t length)
{
    constexpr TextView unit = u"bytes ";
    if (!StartsWithNoCase(contentRange, unit)) return false;
    const TextView range = contentRange.substr(unit.size());
    const auto dash = range.find(u'-');
    const auto slash = range.find(u'/');
    if (dash == TextView::npos || slash == TextView::npos || slash < dash) return false;
    const auto first = Number(range.substr(0, dash));
    const auto last = Number(range.substr(dash + 1, slash - dash - 1));
    const auto total = Number(range.substr(slash + 1));
    return first && last && total && *first == from && *total == length && *last == *total - 1;
}

Text RangeValidator(const Text& etag, const Text& lastModified)
{
    if (!etag.empty() && !etag.starts_with(u"W/")) return etag;
    return lastModified;
}

bool IsRedirect(std::uint32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

Text RedirectTarget(const Text& from, const Text& location)
{
    if (HasScheme(location)) return location;
    const auto schemeEnd = from.find(u"://");
    if (schemeEnd == Text::npos) return location;
    if (location.starts_with(u"//")) return from.substr(0, schemeEnd + 1) + location;
    const auto pathStart = std::min(from.find(u'/', schemeEnd + 3), from.size());
    const Text origin = from.substr(0, pathStart);
    if (location.starts_with(u"/")) return origin + location;
    const Text path = from.substr(pathStart, from.find_first_of(u"?#", pathStart) - pathStart);
    const auto lastSlash = path.rfind(u'/');
    return origin + (lastSlash == Text::npos ? Text(u"/") : path.substr(0, lastSlash + 1)) + location;
}

bool IsHttps(TextView url) { return StartsWithNoCase(url, u"https:"); }

bool IsDowngrade(const Text& from, const Text& to) { return IsHttps(from) && !IsHttps(to); }
