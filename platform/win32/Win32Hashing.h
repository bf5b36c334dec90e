#pragma once
#include "platform/Hashing.h"

#include <memory>

class Sha256Provider;

// SHA-256 by the system's CNG. bcrypt.dll is not one of Windows' known DLLs, so it is not
// imported: it is loaded from the system folder at the first use and stays loaded while any
// hash made from it lives.
class Win32Hashing : public Hashing {
public:
    std::unique_ptr<Sha256> NewSha256() override;

private:
    std::shared_ptr<const Sha256Provider> provider_;
};
