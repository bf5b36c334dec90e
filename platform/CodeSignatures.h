#pragma once
#include "platform/Text.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The system's judgement of a file's Authenticode signature.
enum class SignatureVerdict {
    Trusted,        // verifies, and its chain ends at a root of the machine's store
    Unsigned,       // carries no signature
    Invalid,        // the signature or the file's digest does not verify, or the chain is broken
    UntrustedRoot,  // the chain ends at a root the machine's store does not hold (the user's alone counts not)
    Revoked,        // a certificate of the chain is revoked
};

struct FileSignature {
    SignatureVerdict verdict = SignatureVerdict::Unsigned;
    // The system's code behind a verdict other than Trusted, for the log.
    std::uint32_t systemCode = 0;
    // Known when Trusted: the signing certificate's subject common name, the DER bytes of the
    // certificate that issued it (itself when it is self-signed), and whether revocation could be
    // checked (not when offline, or when the certificates name no place to check).
    Text signerCommonName = {};
    std::vector<std::byte> issuerCertificate = {};
    bool revocationChecked = false;
};

class CodeSignatures {
public:
    virtual ~CodeSignatures() = default;
    // The signature of the file at path, which the caller keeps open against writers meanwhile.
    // Raises RuntimeError when the system's verification cannot be used at all.
    virtual FileSignature SignatureOf(const Text& path) = 0;
};
