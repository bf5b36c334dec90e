#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

using Sha256Digest = std::array<std::uint8_t, 32>;

// One SHA-256 computation over bytes given in pieces; its resources go with the object.
class Sha256 {
public:
    virtual ~Sha256() = default;
    virtual void Add(std::span<const std::byte> bytes) = 0;   // raises RuntimeError
    // The digest of everything added; the object is used up.
    virtual Sha256Digest Finish() = 0;                         // raises RuntimeError
};

class Hashing {
public:
    virtual ~Hashing() = default;
    // Raises RuntimeError when the system's hashing cannot be used.
    virtual std::unique_ptr<Sha256> NewSha256() = 0;
};
