#pragma once
#include "platform/CodeSignatures.h"

#include <memory>

struct WinTrustApi;

// Authenticode through the system: WinVerifyTrust checks the signature and the file's digest,
// then the signer's chain is built again by the local machine's chain engine, at the time the
// signature counts for (its timestamp's, else now), with revocation checked on every certificate
// but the root. wintrust.dll is not one of Windows' known DLLs: it is loaded from the system
// folder at the first use.
class Win32CodeSignatures : public CodeSignatures {
public:
    Win32CodeSignatures();
    ~Win32CodeSignatures() override;
    FileSignature SignatureOf(const Text& path) override;

private:
    std::unique_ptr<const WinTrustApi> api_;
};
