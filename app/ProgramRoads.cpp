#include "app/ProgramRoads.h"

#include "runner/win32/WaitWindowRunner.h"
#include "setup/InstallPackages.h"

void ProgramRoads::InstallPackages()
{
    // Removed when the sequence ends, also when it ends in an error.
    StagingFolder staging(platform_);
    WaitWindowRunner runner(state_, platform_, staging);
    ::InstallPackages(state_, platform_, runner);
}

void ProgramRoads::OpenDownloadWindow()
{
    downloadWindow_ = CreateWebSetupWindow(state_, platform_, [this] { InstallPackages(); });
    downloadWindow_->Load();
    downloadWindow_->Show();
}
