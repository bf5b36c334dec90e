#pragma once
// SHA-256 as the system computes it, in portable code; counts what it is asked to hash.
#include "platform/Hashing.h"
#include "tests/fakes/PortableSha256.h"

#include <string_view>

class FakeHashing : public Hashing {
public:
    int hashesMade = 0;

    std::unique_ptr<Sha256> NewSha256() override
    {
        ++hashesMade;
        return std::make_unique<PortableSha256>();
    }
};

inline Sha256Digest Sha256Of(std::string_view bytes)
{
    PortableSha256 sha256;
    sha256.Add(std::as_bytes(std::span(bytes)));
    return sha256.Finish();
}
