#pragma once
// SHA-256 in plain C++ (FIPS 180-4), so that the tests hash as the system does without it.
#include "platform/Hashing.h"

#include <array>
#include <cstdint>

class PortableSha256 : public Sha256 {
public:
    void Add(std::span<const std::byte> bytes) override;
    Sha256Digest Finish() override;

private:
    void Compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> state_{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                        0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> block_{};
    std::size_t blockUsed_ = 0;
    std::uint64_t totalBytes_ = 0;
};
