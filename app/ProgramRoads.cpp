#include "app/ProgramRoads.h"

#include "runner/win32/WaitWindowRunner.h"
#include "setup/InstallPackages.h"

void ProgramRoads::InstallPackages()
{
    WaitWindowRunner runner(state_, platform_);
    ::InstallPackages(state_, platform_, runner);
}

void ProgramRoads::OpenDownloadWindow()
{
    downloadWindow_ = CreateWebSetupWindow(state_, platform_, [this] { InstallPackages(); });
    downloadWindow_->Load();
    downloadWindow_->Show();
}
