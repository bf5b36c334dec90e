#pragma once
// Bytes on their way from the thread that reads them to the one that takes them, in one block of
// memory used round and round. One thread appends and one takes; neither ever waits here.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class ReadAheadBuffer {
public:
    explicit ReadAheadBuffer(std::size_t capacity) : bytes_(capacity) {}

    // The appending side: where up to `most` next bytes go; empty when the buffer is full.
    std::span<std::byte> Room(std::size_t most);
    // The appending side: count bytes were put in Room(). True when everything before them had
    // been taken, so that the taking side may be waiting for them.
    bool Appended(std::size_t count);

    // The taking side: copies out as much as it holds, up to out's size.
    std::size_t Take(std::span<std::byte> out);
    bool Empty() const { return appended_ == taken_; }

private:
    std::vector<std::byte> bytes_;
    // Every byte so far: the appending side only writes appended_, the taking side taken_.
    std::atomic<std::uint64_t> appended_{0};
    std::atomic<std::uint64_t> taken_{0};
};
