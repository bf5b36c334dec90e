#include "setup/Main.h"

#include "platform/RuntimeError.h"
#include "setup/LocalFolder.h"
#include "setup/Packages.h"
#include "setup/Probes.h"

namespace {

const Text AdminMessage =
    u"Kurulum programını çalıştırmak için sağ tıklayarak \"Yönetici olarak çalıştır\" seçeneğini kullanın.";
const Text AlreadyRunningMessage = u"Kurulum programı zaten çalışıyor.";

void LogPlan(const SetupState& state, Log& log, bool everyFilePresent)
{
    Text line = u"Plan:";
    for (const auto& queued : state.DownloadQueue) line += u" " + queued.localPath;
    log.Write(line + (everyFilePresent ? u"; every file is present: installing" : u"; downloading first"));
}

// Every probe answers before anything is queued: a probe that raises leaves the queue empty.
void PlanPackages(SetupState& state, MachineFacts& facts)
{
    std::vector<const Package*> planned;
    for (const Package& package : Packages)
        if (package.planned(facts)) planned.push_back(&package);
    for (const Package* package : planned)
        AddDownload(state, *package, state.RemoteFolderUrl + package->fileName, state.LocalFolder + package->fileName);
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
    for (const auto& queued : state.DownloadQueue)
        if (!Present(state, platform, queued.localPath)) return false;
    return true;
}

void StartUp(SetupState& state, Platform& platform, MachineFacts& facts, StartupRoads& roads,
             const Text& baseUrl, const PackagePins& pins)
{
    state.BaseUrl = baseUrl;
    state.Pins = pins;
    state.RemoteFolderUrl = state.BaseUrl + RemoteFolder;
    state.LocalFolder = platform.files.OwnFolder() + LocalFolderName;

    PrepareLocalFolder(platform.files, state.LocalFolder);

    PlanPackages(state, facts);

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
    MachineFacts facts(platform.machine, platform.log);
    if (!facts.UserIsAnAdmin()) {
        platform.dialogs.MsgBox(AdminMessage, MsgBoxStyle::OkOnly);
        state.Outcome = ExitCode::NotAdministrator;
        return;
    }
    // Before anything is touched: the other copy owns the folder and its files.
    if (!platform.instance.ClaimSoleCopy()) {
        platform.dialogs.MsgBox(AlreadyRunningMessage, MsgBoxStyle::Exclamation);
        state.Outcome = ExitCode::AlreadyRunning;
        return;
    }
    try {
        StartUp(state, platform, facts, roads, baseUrl, pins);
    } catch (const std::exception&) {
        platform.dialogs.MsgBox(u"\"" + state.LocalFolder + u"\" klasörü oluşturulamadı.",
                                MsgBoxStyle::Critical);
        state.Outcome = ExitCode::SetupError;
    }
}
