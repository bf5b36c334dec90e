#include "setup/InstallPackages.h"

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
    if (!state.DotNetLocal.empty()) runner.RunPackage(state.DotNetLocal);

    // Written afresh so that a value left by an earlier run is not taken for completion.
    platform.settings.SaveSetting(MarkerApplication, MarkerSection, MarkerKey, NotCompleted);
    runner.RunPackage(state.MainAppLocal);
    if (!MainInstallationCompleted(platform.settings) &&
        platform.dialogs.MsgBox(CancelledQuestion, MsgBoxStyle::YesNo | MsgBoxStyle::Question) == MsgBoxResult::No)
        return;

    if (!state.PdfPrinterLocal.empty()) runner.RunPackage(state.PdfPrinterLocal);
}
