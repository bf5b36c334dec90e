#include "download/ReadAheadBuffer.h"

#include <algorithm>
#include <cstring>

std::span<std::byte> ReadAheadBuffer::Room(std::size_t most)
{
    const std::uint64_t appended = appended_;
    const auto held = static_cast<std::size_t>(appended - taken_);
    const std::size_t at = appended % bytes_.size();
    return std::span(bytes_).subspan(at, std::min({bytes_.size() - held, bytes_.size() - at, most}));
}

bool ReadAheadBuffer::Appended(std::size_t count)
{
    const std::uint64_t before = appended_;
    appended_ = before + count;
    // Published before taken_ is looked at: either this sees the last take, or that take saw
    // these bytes. (Both atomics are sequentially consistent.)
    return taken_ == before;
}

std::size_t ReadAheadBuffer::Take(std::span<std::byte> out)
{
    const std::uint64_t taken = taken_;
    const auto count = std::min(out.size(), static_cast<std::size_t>(appended_ - taken));
    const std::size_t at = taken % bytes_.size();
    const std::size_t beforeEnd = std::min(count, bytes_.size() - at);
    std::memcpy(out.data(), bytes_.data() + at, beforeEnd);
    std::memcpy(out.data() + beforeEnd, bytes_.data(), count - beforeEnd);
    // Only now may the appending side fill these bytes again.
    taken_ = taken + count;
    return count;
}
