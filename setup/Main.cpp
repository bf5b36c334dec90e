#include "setup/Main.h"

#include "platform/RuntimeError.h"
#include "setup/LocalFolder.h"
#include "setup/Probes.h"

namespace {

const Text AdminMessage =
    u"Kurulum programını çalıştırmak için sağ tıklayarak \"Yönetici olarak çalıştır\" seçeneğini kullanın.";
const Text AlreadyRunningMessage = u"Kurulum programı zaten çalışıyor.";

void PlanPackages(SetupState& state, Platform& platform)
{
    if (!IsDotNet472Installed(platform.machine)) {
        state.DotNetRemote = state.RemoteFolderUrl + PackageFile::DotNet;
        state.DotNetLocal = state.LocalFolder + PackageFile::DotNet;
    }
    if (!IsPdfPrinterInstalled(platform.machine)) {
        state.PdfPrinterRemote = state.RemoteFolderUrl + PackageFile::PdfPrinter;
        state.PdfPrinterLocal = state.LocalFolder + PackageFile::PdfPrinter;
    }
    const Text& mainApp =
        GetAddressWidth(platform.machine) == u"32" ? PackageFile::MainApp32 : PackageFile::MainApp64;
    state.MainAppRemote = state.RemoteFolderUrl + mainApp;
    state.MainAppLocal = state.LocalFolder + mainApp;

    if (!state.DotNetLocal.empty()) AddDownload(state, state.DotNetRemote, state.DotNetLocal);
    if (!state.PdfPrinterLocal.empty()) AddDownload(state, state.PdfPrinterRemote, state.PdfPrinterLocal);
    if (!state.MainAppLocal.empty()) AddDownload(state, state.MainAppRemote, state.MainAppLocal);
}

// A pinned file that is not the vendor's counts as missing, so that it is fetched again.
bool Present(const SetupState& state, Platform& platform, const Text& path)
{
    if (platform.files.Dir(path, FileAttribute::Normal).empty()) return false;
    const auto* pin = PinFor(state.Pins, path);
    return !pin || MatchesPin(platform, path, *pin);
}

bool EveryQueuedFilePresent(const SetupState& state, Platform& platform)
{
    const int count = state.DownloadCount;
    for (int i = 1; i <= count; ++i)
        if (!Present(state, platform, state.DownloadPaths[i])) return false;
    return true;
}

void StartUp(SetupState& state, Platform& platform, StartupRoads& roads, const Text& baseUrl,
             const PackagePins& pins)
{
    state.BaseUrl = baseUrl;
    state.Pins = pins;
    state.RemoteFolderUrl = state.BaseUrl + RemoteFolder;
    state.LocalFolder = platform.files.OwnFolder() + LocalFolderName;

    PrepareLocalFolder(platform.files, state.LocalFolder);

    PlanPackages(state, platform);

    if (EveryQueuedFilePresent(state, platform))
        roads.InstallPackages();
    else
        roads.OpenDownloadWindow();
}

} // namespace

void Main(SetupState& state, Platform& platform, StartupRoads& roads, const Text& baseUrl,
          const PackagePins& pins)
{
    if (platform.machine.IsUserAnAdmin() == 0) {
        platform.dialogs.MsgBox(AdminMessage, MsgBoxStyle::OkOnly);
        return;
    }
    // Before anything is touched: the other copy owns the folder and its files.
    if (!platform.instance.ClaimSoleCopy()) {
        platform.dialogs.MsgBox(AlreadyRunningMessage, MsgBoxStyle::Exclamation);
        return;
    }
    try {
        StartUp(state, platform, roads, baseUrl, pins);
    } catch (const std::exception&) {
        platform.dialogs.MsgBox(u"\"" + state.LocalFolder + u"\" klasörü oluşturulamadı.",
                                MsgBoxStyle::Critical);
    }
}
