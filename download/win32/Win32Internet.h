#pragma once
#include "platform/Internet.h"

#include <memory>

// Internet on WinINet. wininet.dll is not one of Windows' known DLLs, so it is not
// imported: it is loaded from the system folder at the first Open and stays loaded.
class Win32Internet : public Internet {
public:
    explicit Win32Internet(double stallTimeoutSeconds) : stallTimeoutSeconds_(stallTimeoutSeconds) {}
    std::unique_ptr<InternetSession> Open(const Text& agent) override;
    double StallTimeoutSeconds() const override { return stallTimeoutSeconds_; }

private:
    const double stallTimeoutSeconds_;
};
