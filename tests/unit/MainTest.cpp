#include "setup/Main.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const Text Base = u"http://paketler.example/";
const Text Remote = u"http://paketler.example/qormavik/websetup/";
const Text Local = u"C:\\Kurulum Dosyaları\\mavikfiles\\";
const Text DotNetKey = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\NET Framework Setup\\NDP\\v4\\Full\\";

class RecordingRoads : public StartupRoads {
public:
    std::vector<Text> taken;
    bool installRaises = false;
    void InstallPackages() override
    {
        taken.push_back(u"install");
        if (installRaises) throw RuntimeError(ErrorNumber::PathFileAccess, u"Access denied");
    }
    void OpenDownloadWindow() override { taken.push_back(u"window"); }
};

class MainTest : public ::testing::Test {
protected:
    FakePlatform fake;
    SetupState state;
    RecordingRoads roads;

    void SetUp() override { fake.files.ownFolder = u"C:\\Kurulum Dosyaları"; }

    void DotNetPresent()
    {
        fake.machine.registry[DotNetKey + u"Install"] = u"1";
        fake.machine.registry[DotNetKey + u"Version"] = u"4.8.04084";
    }
    void PdfPrinterPresent() { fake.machine.printers = std::vector<Text>{u"DoPdf V7"}; }
    void Run() { Main(state, fake.platform, roads, Base, {}); }
    static std::vector<Text> QueuedPaths(const SetupState& queuedState)
    {
        std::vector<Text> paths;
        for (const auto& queued : queuedState.DownloadQueue) paths.push_back(queued.localPath);
        return paths;
    }
    void ExpectOnlyFolderMessage(const Text& folder)
    {
        ASSERT_EQ(fake.dialogs.shown.size(), 1u);
        EXPECT_EQ(fake.dialogs.shown[0].text, u"\"" + folder + u"\" klasörü oluşturulamadı.");
        EXPECT_EQ(fake.dialogs.shown[0].style, 16);
        EXPECT_EQ(fake.dialogs.shown[0].title, u"MavikWebSetup");
        EXPECT_TRUE(roads.taken.empty());
        EXPECT_EQ(state.Outcome, ExitCode::SetupError);
    }
};

} // namespace

TEST_F(MainTest, WithoutAdministratorRightsOnlyTheMessageIsShown)
{
    fake.machine.admin = 0;
    Run();
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text,
              u"Kurulum programını çalıştırmak için sağ tıklayarak \"Yönetici olarak çalıştır\" "
              u"seçeneğini kullanın.");
    EXPECT_EQ(fake.dialogs.shown[0].style, 0);
    EXPECT_EQ(fake.dialogs.shown[0].title, u"MavikWebSetup");
    EXPECT_EQ(fake.machine.calls, std::vector<Text>{u"IsUserAnAdmin"});
    EXPECT_TRUE(fake.files.calls.empty());
    EXPECT_TRUE(roads.taken.empty());
    EXPECT_EQ(state.LocalFolder, u"");
    // A refused copy holds no claim that would turn away the copy the user starts next.
    EXPECT_EQ(fake.instance.claims, 0);
    EXPECT_EQ(state.Outcome, ExitCode::NotAdministrator);
}

TEST_F(MainTest, ASecondCopyOnlySaysThatOneRunsAndTouchesNothing)
{
    fake.instance.otherCopyRuns = true;
    Run();
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text, u"Kurulum programı zaten çalışıyor.");
    EXPECT_EQ(fake.dialogs.shown[0].style, 48);
    EXPECT_EQ(fake.dialogs.shown[0].title, u"MavikWebSetup");
    EXPECT_EQ(fake.machine.calls, std::vector<Text>{u"IsUserAnAdmin"});
    EXPECT_TRUE(fake.files.calls.empty());
    EXPECT_TRUE(roads.taken.empty());
    EXPECT_TRUE(state.DownloadQueue.empty());
    EXPECT_EQ(state.Outcome, ExitCode::AlreadyRunning);
}

TEST_F(MainTest, BareMachineCreatesTheFolderQueuesAllThreeAndOpensTheWindow)
{
    Run();
    EXPECT_EQ(state.RemoteFolderUrl, Remote);
    EXPECT_EQ(state.LocalFolder, Local);
    EXPECT_TRUE(fake.files.folders.contains(Local));
    EXPECT_EQ(fake.files.calls[0], u"KindOf " + Local);
    EXPECT_EQ(fake.files.calls[1], u"MkDir " + Local);
    EXPECT_EQ(fake.files.calls[2], u"HoldFolder " + Local);
    ASSERT_EQ(state.DownloadQueue.size(), 3u);
    EXPECT_EQ(state.DownloadQueue[0].url, Remote + u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
    EXPECT_EQ(state.DownloadQueue[1].url, Remote + u"PDFCreator.exe");
    EXPECT_EQ(state.DownloadQueue[2].url, Remote + u"QorMavik64.exe");
    EXPECT_EQ(QueuedPaths(state), (std::vector<Text>{Local + u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe",
                                                Local + u"PDFCreator.exe", Local + u"QorMavik64.exe"}));
    EXPECT_EQ(fake.machine.calls,
              (std::vector<Text>{u"IsUserAnAdmin", u"CreateRegistryShell", u"Printers", u"Wmi"}));
    EXPECT_EQ(roads.taken, std::vector<Text>{u"window"});
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(MainTest, PackagePlanFollowsEveryCombinationOfTheProbes)
{
    for (int mask = 0; mask < 8; ++mask) {
        FakePlatform probeFake;
        SetupState probeState;
        RecordingRoads probeRoads;
        const bool dotNet = mask & 1, printer = mask & 2, width32 = mask & 4;
        if (dotNet) {
            probeFake.machine.registry[DotNetKey + u"Install"] = u"1";
            probeFake.machine.registry[DotNetKey + u"Version"] = u"4.7.03062";
        }
        if (printer) probeFake.machine.printers = std::vector<Text>{u"doPDF v7"};
        probeFake.machine.addressWidths = std::vector<Text>{width32 ? u"32" : u"64"};
        Main(probeState, probeFake.platform, probeRoads, Base, {});

        const Text folder = probeFake.files.ownFolder + u"\\mavikfiles\\";
        std::vector<Text> expected;
        if (!dotNet) expected.push_back(folder + u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe");
        if (!printer) expected.push_back(folder + u"PDFCreator.exe");
        expected.push_back(folder + (width32 ? u"QorMavik32.exe" : u"QorMavik64.exe"));
        EXPECT_EQ(QueuedPaths(probeState), expected) << "probe mask " << mask;
    }
}

TEST_F(MainTest, LogsEveryProbeAsItIsAnsweredAndThePlan)
{
    PdfPrinterPresent();
    fake.machine.addressWidths = std::vector<Text>{u"32"};
    Run();
    EXPECT_EQ(fake.log.lines,
              (std::vector<Text>{u"Probe: user is an administrator: yes", u"Probe: .NET 4.7.2 installed: no",
                                 u"Probe: doPDF v7 printer installed: yes",
                                 u"Probe: processor address width: \"32\"",
                                 u"Plan: " + Local + u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe " + Local +
                                     u"QorMavik32.exe; downloading first"}));

    FakePlatform failing;
    SetupState failingState;
    failing.machine.printers.reset();
    Main(failingState, failing.platform, roads, Base, {});
    EXPECT_EQ(failing.log.lines.back(), u"Probe: .NET 4.7.2 installed: no") << "the failing probe is the next one";
}

TEST_F(MainTest, OnlyExactly32SelectsThe32BitInstaller)
{
    for (const Text width : {u"64", u"", u" 32", u"32 ", u"032", u"16"}) {
        FakePlatform probeFake;
        SetupState probeState;
        RecordingRoads probeRoads;
        probeFake.machine.addressWidths = std::vector<Text>{width};
        Main(probeState, probeFake.platform, probeRoads, Base, {});
        ASSERT_FALSE(probeState.DownloadQueue.empty());
        EXPECT_TRUE(EndsWith(probeState.DownloadQueue.back().localPath, u"\\QorMavik64.exe")) << ToUtf8(width);
        EXPECT_TRUE(EndsWith(probeState.DownloadQueue.back().url, u"/QorMavik64.exe")) << ToUtf8(width);
    }
}

TEST_F(MainTest, EveryFilePresentInstallsAtOnceWithoutCreatingTheFolder)
{
    DotNetPresent();
    PdfPrinterPresent();
    fake.files.folders.insert(Local);
    fake.files.files[Local + u"QorMavik64.exe"] = "MZ";
    Run();
    EXPECT_EQ(state.DownloadQueue.size(), 1u);
    EXPECT_EQ(roads.taken, std::vector<Text>{u"install"});
    for (const auto& call : fake.files.calls) EXPECT_FALSE(call.starts_with(u"MkDir")) << ToUtf8(call);
    EXPECT_EQ(fake.log.lines.back(), u"Plan: " + Local + u"QorMavik64.exe; every file is present: installing");
}

TEST_F(MainTest, OneMissingFileOpensTheWindowWithTheWholeQueue)
{
    fake.files.folders.insert(Local);
    fake.files.files[Local + u"NDP472-KB4054530-x86-x64-AllOS-ENU.exe"] = "MZ";
    fake.files.files[Local + u"QorMavik64.exe"] = "MZ";
    Run();
    EXPECT_EQ(state.DownloadQueue.size(), 3u);
    EXPECT_EQ(roads.taken, std::vector<Text>{u"window"});
    // The search stops at the first missing file.
    EXPECT_EQ(fake.files.calls.back(), u"Dir " + Local + u"PDFCreator.exe");
}

TEST_F(MainTest, DriveRootKeepsTheDoubledSeparator)
{
    fake.files.ownFolder = u"D:\\";
    Run();
    EXPECT_EQ(state.LocalFolder, u"D:\\\\mavikfiles\\");
}

TEST_F(MainTest, FolderThatCannotBeCreatedShowsOnlyTheFolderMessage)
{
    fake.files.readOnlyFolders.insert(u"C:\\Kurulum Dosyaları");
    Run();
    ExpectOnlyFolderMessage(Local);
    EXPECT_TRUE(state.DownloadQueue.empty());
    EXPECT_EQ(fake.machine.calls, std::vector<Text>{u"IsUserAnAdmin"});
}

TEST_F(MainTest, ALinkAFileOrAFolderThatCannotBeHeldShowsOnlyTheFolderMessage)
{
    const Text name = u"C:\\Kurulum Dosyaları\\mavikfiles";
    const std::vector<std::function<void(FakeFileSystem&)>> standIns = {
        [&](FakeFileSystem& files) { files.reparsePoints.insert(name); },
        [&](FakeFileSystem& files) { files.files[name] = "MZ"; },
        [&](FakeFileSystem& files) {
            files.folders.insert(Local);
            files.unholdable.insert(Local);
        },
    };
    for (const auto& standIn : standIns) {
        FakePlatform probeFake;
        SetupState probeState;
        probeFake.files.ownFolder = u"C:\\Kurulum Dosyaları";
        standIn(probeFake.files);
        Main(probeState, probeFake.platform, roads, Base, {});
        ASSERT_EQ(probeFake.dialogs.shown.size(), 1u);
        EXPECT_EQ(probeFake.dialogs.shown[0].text, u"\"" + Local + u"\" klasörü oluşturulamadı.");
        EXPECT_EQ(probeFake.machine.calls, std::vector<Text>{u"IsUserAnAdmin"});
        EXPECT_TRUE(probeState.DownloadQueue.empty());
    }
    EXPECT_TRUE(roads.taken.empty());
}

TEST_F(MainTest, ProbeFailuresEndInTheFolderMessage)
{
    fake.machine.printers.reset();
    Run();
    ExpectOnlyFolderMessage(Local);

    FakePlatform wmiFake;
    SetupState wmiState;
    wmiFake.machine.addressWidths.reset();
    Main(wmiState, wmiFake.platform, roads, Base, {});
    ASSERT_EQ(wmiFake.dialogs.shown.size(), 1u);
    EXPECT_EQ(wmiFake.dialogs.shown[0].text, u"\"C:\\Setup\\mavikfiles\\\" klasörü oluşturulamadı.");
    EXPECT_TRUE(wmiState.DownloadQueue.empty());
}

TEST_F(MainTest, FailureOfTheInstallationRoadEndsInTheFolderMessage)
{
    DotNetPresent();
    PdfPrinterPresent();
    fake.files.folders.insert(Local);
    fake.files.files[Local + u"QorMavik64.exe"] = "MZ";
    // Whatever the packages installed so far said.
    state.Outcome = ExitCode::RestartRequired;
    roads.installRaises = true;
    Run();
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text, u"\"" + Local + u"\" klasörü oluşturulamadı.");
    EXPECT_EQ(state.Outcome, ExitCode::SetupError);
}

TEST_F(MainTest, PinnedFileCountsAsPresentOnlyWhenItMatches)
{
    const Text mainApp = Local + u"QorMavik64.exe";
    const PackagePins pins{{u"QorMavik64.exe", Sha256Of("MZ vendor"), 9}};
    struct Case {
        const char* what;
        std::string content;
        bool unreadable;
        Text road;
    };
    for (const auto& [what, content, unreadable, road] :
         {Case{"the vendor's file", "MZ vendor", false, u"install"}, Case{"tampered", "MZ evil!!", false, u"window"},
          Case{"stale, another size", "MZ old", false, u"window"},
          Case{"cannot be read", "MZ vendor", true, u"window"}}) {
        SCOPED_TRACE(what);
        FakePlatform pinFake;
        SetupState pinState;
        RecordingRoads pinRoads;
        pinFake.files.ownFolder = u"C:\\Kurulum Dosyaları";
        pinFake.machine.registry[DotNetKey + u"Install"] = u"1";
        pinFake.machine.registry[DotNetKey + u"Version"] = u"4.8.04084";
        pinFake.machine.printers = std::vector<Text>{u"doPDF v7"};
        pinFake.files.folders.insert(Local);
        pinFake.files.files[mainApp] = content;
        if (unreadable) pinFake.files.unreadable.insert(mainApp);

        Main(pinState, pinFake.platform, pinRoads, Base, pins);

        EXPECT_EQ(pinRoads.taken, std::vector<Text>{road});
        EXPECT_TRUE(pinFake.dialogs.shown.empty());
        EXPECT_FALSE(pinFake.files.Locked(mainApp));
        ASSERT_EQ(pinState.Pins.size(), 1u);
        EXPECT_EQ(pinState.Pins[0].digest, pins[0].digest);
    }
}
