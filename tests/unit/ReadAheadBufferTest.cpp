#include "download/ReadAheadBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

namespace {

std::string Taken(ReadAheadBuffer& buffer, std::size_t most)
{
    std::string out(most, '\0');
    out.resize(buffer.Take(std::as_writable_bytes(std::span(out))));
    return out;
}

// Appends up to `most` bytes of source from `at` on; how many fitted.
std::size_t Append(ReadAheadBuffer& buffer, const std::string& source, std::size_t at, std::size_t most,
                   bool* mayWait = nullptr)
{
    const auto room = buffer.Room(std::min(most, source.size() - at));
    std::memcpy(room.data(), source.data() + at, room.size());
    const bool wasEmpty = buffer.Appended(room.size());
    if (mayWait) *mayWait = wasEmpty;
    return room.size();
}

} // namespace

TEST(ReadAheadBuffer, BytesComeOutInOrderAcrossTheEndOfItsMemoryAndNeverPastItsCapacity)
{
    // Appends and takes of sizes that do not divide the capacity, so that both cross the end
    // of the memory at every offset.
    constexpr std::size_t capacity = 1000;
    std::string source(200'000, '\0');
    for (std::size_t i = 0; i < source.size(); ++i) source[i] = static_cast<char>(i * 7 % 253);
    std::mt19937 random(20261207);
    ReadAheadBuffer buffer(capacity);
    std::size_t appended = 0;
    std::string out;
    while (out.size() < source.size()) {
        appended += Append(buffer, source, appended, random() % 700);
        ASSERT_LE(appended - out.size(), capacity);
        out += Taken(buffer, random() % 900);
    }
    EXPECT_TRUE(out == source);
    EXPECT_TRUE(buffer.Empty());
}

TEST(ReadAheadBuffer, RoomEndsAtTheFullMarkAndTheTakerIsWokenOnlyForAnEmptyBuffer)
{
    const std::string source(30, 'x');
    ReadAheadBuffer buffer(10);
    bool mayWait = false;
    EXPECT_EQ(Append(buffer, source, 0, 4, &mayWait), 4u);
    EXPECT_TRUE(mayWait) << "the first bytes of an empty buffer";
    EXPECT_EQ(Append(buffer, source, 4, 30, &mayWait), 6u);
    EXPECT_FALSE(mayWait) << "bytes after ones not yet taken";
    EXPECT_TRUE(buffer.Room(30).empty());

    EXPECT_EQ(Taken(buffer, 7), std::string(7, 'x'));
    // The room starts again at the start of the memory and stops at the first byte not taken.
    EXPECT_EQ(buffer.Room(30).size(), 7u);
    EXPECT_EQ(Taken(buffer, 30).size(), 3u);
    EXPECT_TRUE(buffer.Empty());
    EXPECT_EQ(Append(buffer, source, 10, 30, &mayWait), 10u);
    EXPECT_TRUE(mayWait);
}
