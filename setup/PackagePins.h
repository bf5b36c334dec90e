#pragma once
// Packages pinned at build time to the vendor's SHA-256 digests, to their Authenticode signers, or
// both: a pinned file is downloaded, counted as present and started only while every pin holds.
#include "platform/Hashing.h"
#include "platform/Platform.h"

#include <cstdint>
#include <optional>
#include <vector>

// A publisher: the signing certificate's subject common name, as issued by one certificate
// authority, named by the SHA-256 of its certificate. It outlives the signing certificate's renewal
// by the same authority.
struct SignerPin {
    Sha256Digest issuerThumbprint;
    Text commonName;
};

struct PackagePin {
    Text fileName;
    std::optional<Sha256Digest> digest;
    // Known when the file lay beside the digest list at build time.
    std::optional<std::uint64_t> size;
    // Any one of them may have signed the file; none pins no signer.
    std::vector<SignerPin> signers = {};
};

using PackagePins = std::vector<PackagePin>;

// What the user reads when a file does not match its pin.
inline const Text PinMismatch = u"dosya doğrulanamadı";

// The pin of the file that path names (its part after the last "\"), or null.
const PackagePin* PinFor(const PackagePins& pins, const Text& path);

// Opens the file at path locked (FileSystem::OpenLocked) and returns it once its size and
// SHA-256 match the pin and the system trusts its signature by a pinned signer; it stays locked
// while the result lives. Raises RuntimeError when the
// file cannot be opened or read, or does not match (then with PinMismatch as description).
std::unique_ptr<InputFile> OpenVerified(Platform& platform, const Text& path, const PackagePin& pin);

// OpenVerified for a file that is let go at once: false for every failure.
bool MatchesPin(Platform& platform, const Text& path, const PackagePin& pin);
