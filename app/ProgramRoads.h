#pragma once
#include "setup/Main.h"
#include "window/WebSetup.h"

#include <memory>

// The roads start-up can take, on the real windows.
class ProgramRoads : public StartupRoads {
public:
    ProgramRoads(SetupState& state, Platform& platform) : state_(state), platform_(platform) {}
    void InstallPackages() override;
    void OpenDownloadWindow() override;

private:
    SetupState& state_;
    Platform& platform_;
    std::unique_ptr<WebSetupWindow> downloadWindow_;
};
