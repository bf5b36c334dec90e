#pragma once
#include "platform/Platform.h"
#include "setup/SetupState.h"

// Runs one package behind the wait window and returns when it has been dealt with.
class PackageRunner {
public:
    virtual ~PackageRunner() = default;
    virtual void RunPackage(const Text& path) = 0;
};

// The queued packages in their installation order (setup/Packages.h), the main application around
// its completion marker; raises what the runner or the settings raise.
void InstallPackages(SetupState& state, Platform& platform, PackageRunner& runner);
