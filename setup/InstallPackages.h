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
// its completion marker; a package that fails does not stop the ones after it. Notes in
// state.Outcome what went wrong; raises what the runner or the settings raise.
void InstallPackages(SetupState& state, Platform& platform, PackageRunner& runner);
