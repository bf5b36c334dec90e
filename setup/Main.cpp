#include "setup/Main.h"

#include "platform/RuntimeError.h"
#include "setup/LocalFolder.h"
#include "setup/Probes.h"

namespace {

const Text AdminMessage =
    u"Kurulum programını çalıştırmak için sağ tıklayarak \"Yönetici olarak çalıştır\" seçeneğini kullanın.";
const Text AlreadyRunningMessage = u"Kurulum programı zaten çalışıyor.";

// A probe's answer goes to the log as soon as it is known, so a probe that raises shows as the
// first one missing.
bool Probed(Log& log, const Text& question, bool answer)
{
    log.Write(u"Probe: " + question + u": " + (answer ? u"yes" : u"no"));
    return answer;
}

Text Probed(Log& log, const Text& question, Text answer)
{
    log.Write(u"Probe: " + question + u": \"" + answer + u"\"");
    return answer;
}

void LogPlan(const SetupState& state, Log& log, bool everyFilePresent)
{
    Text line = u"Plan:";
    for (int i = 1; i <= state.DownloadCount; ++i) line += u" " + state.DownloadPaths[i];
    log.Write(line + (everyFilePresent ? u"; every file is present: installing" : u"; downloading first"));
}

void PlanPackages(SetupState& state, Platform& platform)
{
    Log& log = platform.log;
    if (!Probed(log, u".NET 4.7.2 installed", IsDotNet472Installed(platform.machine))) {
        state.DotNetRemote = state.RemoteFolderUrl + PackageFile::DotNet;
        state.DotNetLocal = state.LocalFolder + PackageFile::DotNet;
    }
    if (!Probed(log, u"doPDF v7 printer installed", IsPdfPrinterInstalled(platform.machine))) {
        state.PdfPrinterRemote = state.RemoteFolderUrl + PackageFile::PdfPrinter;
        state.PdfPrinterLocal = state.LocalFolder + PackageFile::PdfPrinter;
    }
    const Text addressWidth = Probed(log, u"processor address width", GetAddressWidth(platform.machine));
    const Text& mainApp = addressWidth == u"32" ? PackageFile::MainApp32 : PackageFile::MainApp64;
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

// Run once, so kept out of line and optimized for size: inlined, the copy of the pins cost the
// 32-bit exe 4 KB.
[[gnu::noinline, gnu::cold]] void TakePins(SetupState& state, const PackagePins& pins) { state.Pins = pins; }

void StartUp(SetupState& state, Platform& platform, StartupRoads& roads, const Text& baseUrl,
             const PackagePins& pins)
{
    state.BaseUrl = baseUrl;
    TakePins(state, pins);
    state.RemoteFolderUrl = state.BaseUrl + RemoteFolder;
    state.LocalFolder = platform.files.OwnFolder() + LocalFolderName;

    PrepareLocalFolder(platform.files, state.LocalFolder);

    PlanPackages(state, platform);

    const bool everyFilePresent = EveryQueuedFilePresent(state, platform);
    LogPlan(state, platform.log, everyFilePresent);
    if (everyFilePresent)
        roads.InstallPackages();
    else
        roads.OpenDownloadWindow();
}

} // namespace

void Main(SetupState& state, Platform& platform, StartupRoads& roads, const Text& baseUrl,
          const PackagePins& pins)
{
    if (!Probed(platform.log, u"user is an administrator", platform.machine.IsUserAnAdmin() != 0)) {
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
