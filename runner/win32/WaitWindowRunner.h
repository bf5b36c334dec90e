#pragma once
// The package runner the program uses: the real wait window FOneAl.
#include "runner/WaitWindow.h"
#include "setup/InstallPackages.h"

#include <memory>

class WaitWindowRunner : public PackageRunner {
public:
    WaitWindowRunner(SetupState& state, Platform& platform, StagingFolder& staging);
    ~WaitWindowRunner() override;
    void RunPackage(const Text& path) override;

private:
    SetupState& state_;
    Platform& platform_;
    FOneAl handlers_;
    // One window object for every package; each package loads it afresh.
    std::unique_ptr<WaitWindowView> window_;
};
