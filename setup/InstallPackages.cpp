#include "setup/InstallPackages.h"

#include "setup/Packages.h"

#include <algorithm>

namespace {

// The main application's installer overwrites this marker when its installation completes.
const Text MarkerApplication = u"QORmavikSetup";
const Text MarkerSection = u"LastSetup";
const Text MarkerKey = u"Installed";
const Text NotCompleted = u"0";

const Text CancelledQuestion = u"QORmavik kurulumu iptal edildi, ek paketler kurulsun mu?";

bool MainInstallationCompleted(SettingsStore& settings)
{
    return settings.GetSetting(MarkerApplication, MarkerSection, MarkerKey, NotCompleted) != NotCompleted;
}

} // namespace

void InstallPackages(SetupState& state, Platform& platform, PackageRunner& runner)
{
    std::vector<const QueuedDownload*> planned;
    for (const auto& queued : state.DownloadQueue) planned.push_back(&queued);
    std::ranges::stable_sort(planned, {}, [](const QueuedDownload* queued) { return queued->package->installOrder; });

    for (const QueuedDownload* queued : planned) {
        if (!queued->package->mainApplication) {
            runner.RunPackage(queued->localPath);
            continue;
        }
        // Written afresh so that a value left by an earlier run is not taken for completion.
        platform.settings.SaveSetting(MarkerApplication, MarkerSection, MarkerKey, NotCompleted);
        runner.RunPackage(queued->localPath);
        if (MainInstallationCompleted(platform.settings)) continue;
        state.Outcome = MoreTelling(state.Outcome, ExitCode::MainInstallationIncomplete);
        if (platform.dialogs.MsgBox(CancelledQuestion, MsgBoxStyle::YesNo | MsgBoxStyle::Question) ==
            MsgBoxResult::No)
            return;
    }
}
