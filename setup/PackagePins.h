#pragma once
// Packages pinned at build time to the vendor's SHA-256 digests: a pinned file is downloaded,
// counted as present and started only while its bytes are the vendor's.
#include "platform/Hashing.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <vector>

struct PackagePin {
    Text fileName;
    Sha256Digest digest;
    // Known when the file lay beside the digest list at build time.
    std::optional<std::uint64_t> size;
};

using PackagePins = std::vector<PackagePin>;

// What the user reads when a file does not match its pin.
inline const Text PinMismatch = u"dosya doğrulanamadı";

// The pin of the file that path names (its part after the last "\"), or null.
const PackagePin* PinFor(const PackagePins& pins, const Text& path);

// Opens the file at path locked (FileSystem::OpenLocked) and returns it once its size and
// SHA-256 match the pin; it stays locked while the result lives. Raises RuntimeError when the
// file cannot be opened or read, or does not match (then with PinMismatch as description).
std::unique_ptr<InputFile> OpenVerified(Platform& platform, const Text& path, const PackagePin& pin);

// OpenVerified for a file that is let go at once: false for every failure.
bool MatchesPin(Platform& platform, const Text& path, const PackagePin& pin);
