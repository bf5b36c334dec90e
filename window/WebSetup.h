#pragma once
// The download window. Owned by whoever opens it; lives until it unloads.
#include "platform/Platform.h"
#include "setup/SetupState.h"

#include <functional>
#include <memory>

class WebSetupWindow {
public:
    virtual ~WebSetupWindow() = default;
    // Creates the window hidden and runs its load handler.
    virtual void Load() = 0;
    // Shows it modeless, without owner, and returns at once.
    virtual void Show() = 0;
};

// installPackages runs the installation sequence after a complete download run.
std::unique_ptr<WebSetupWindow> CreateWebSetupWindow(SetupState& state, Platform& platform,
                                                     std::function<void()> installPackages);
