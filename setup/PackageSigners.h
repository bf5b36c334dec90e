#pragma once
#include "platform/Platform.h"
#include "setup/PackagePins.h"

// Whether the system trusts the signature of the file at path, up to a root of the machine's
// store, and one of signers made it. The caller holds the file against writers meanwhile. Says
// in the log why not; false also when the system's verification cannot be used.
bool SignedByPinnedSigner(Platform& platform, const Text& path, const std::vector<SignerPin>& signers);

// The SHA-256 digest as 64 lower-case hex digits, as certificate tools print thumbprints.
Text HexText(const Sha256Digest& digest);
