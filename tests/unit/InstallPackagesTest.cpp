#include "setup/InstallPackages.h"
#include "setup/Packages.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const FakeSettingsStore::Key Marker{u"QORmavikSetup", u"LastSetup", u"Installed"};
const Text DotNet = u"C:\\Setup\\mavikfiles\\NDP472-KB4054530-x86-x64-AllOS-ENU.exe";
const Text MainApp = u"C:\\Setup\\mavikfiles\\QorMavik64.exe";
const Text PdfPrinter = u"C:\\Setup\\mavikfiles\\PDFCreator.exe";

class RecordingRunner : public PackageRunner {
public:
    std::vector<Text> ran;
    std::function<void(const Text&)> whileRunning;
    void RunPackage(const Text& path) override
    {
        ran.push_back(path);
        if (whileRunning) whileRunning(path);
    }
};

class InstallPackagesTest : public ::testing::Test {
protected:
    InstallPackagesTest() { Queue({MainApp}); }
    // Queues the packages of these paths in the table's order, as start-up does.
    void Queue(const std::vector<Text>& paths)
    {
        state.DownloadQueue.clear();
        for (const Package& package : Packages)
            for (const Text& path : paths)
                if (EndsWith(path, Text(u"\\") + package.fileName)) AddDownload(state, package, u"", path);
    }
    void PlanAllThree() { Queue({DotNet, PdfPrinter, MainApp}); }
    // What the main application's installer does to the marker when it ends.
    void MainInstallerWrites(const Text& value)
    {
        runner.whileRunning = [this, value](const Text& path) {
            if (path == MainApp) fake.settings.values[Marker] = value;
        };
    }
    void Install() { InstallPackages(state, fake.platform, runner); }
    void ExpectTheQuestionOnce()
    {
        ASSERT_EQ(fake.dialogs.shown.size(), 1u);
        EXPECT_EQ(fake.dialogs.shown[0].text, u"QORmavik kurulumu iptal edildi, ek paketler kurulsun mu?");
        EXPECT_EQ(fake.dialogs.shown[0].style, 36);
        EXPECT_EQ(fake.dialogs.shown[0].title, u"MavikWebSetup");
        EXPECT_EQ(state.Outcome, ExitCode::MainInstallationIncomplete);
    }

    FakePlatform fake;
    SetupState state;
    RecordingRunner runner;
};

class CompletedMain : public InstallPackagesTest, public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(CompletedMain, RunsAllThreeInOrderWithoutAsking)
{
    PlanAllThree();
    MainInstallerWrites(GetParam());
    Install();
    EXPECT_EQ(runner.ran, (std::vector<Text>{DotNet, MainApp, PdfPrinter}));
    EXPECT_TRUE(fake.dialogs.shown.empty());
    EXPECT_EQ(state.Outcome, ExitCode::Installed);
}

// Only "0" exactly means not completed.
INSTANTIATE_TEST_SUITE_P(AnyValueButZero, CompletedMain, ::testing::Values(u"1", u"", u"00", u" 0", u"0 "));

TEST_F(InstallPackagesTest, OnlyMainPlannedAndCompletedAsksNothing)
{
    MainInstallerWrites(u"1");
    Install();
    EXPECT_EQ(runner.ran, std::vector<Text>{MainApp});
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(InstallPackagesTest, OnlyMainPlannedAndCancelledAsksAndRunsNothingMoreAfterYes)
{
    fake.dialogs.answers = {MsgBoxResult::Yes};
    Install();
    EXPECT_EQ(runner.ran, std::vector<Text>{MainApp});
    ExpectTheQuestionOnce();
}

TEST_F(InstallPackagesTest, CancelledMainAndNoEndsBeforeThePdfPrinter)
{
    PlanAllThree();
    fake.dialogs.answers = {MsgBoxResult::No};
    Install();
    EXPECT_EQ(runner.ran, (std::vector<Text>{DotNet, MainApp}));
    ExpectTheQuestionOnce();
}

TEST_F(InstallPackagesTest, CancelledMainAndYesGoesOnWithThePdfPrinter)
{
    PlanAllThree();
    fake.dialogs.answers = {MsgBoxResult::Yes};
    Install();
    EXPECT_EQ(runner.ran, (std::vector<Text>{DotNet, MainApp, PdfPrinter}));
    ExpectTheQuestionOnce();
}

TEST_F(InstallPackagesTest, AFailedMainInstallerKeepsItsCodeAndThePackagesAfterItStillRun)
{
    PlanAllThree();
    fake.dialogs.answers = {MsgBoxResult::Yes};
    runner.whileRunning = [this](const Text& path) {
        if (path == MainApp) state.Outcome = ExitCode::PackageFailed;
    };
    Install();
    EXPECT_EQ(runner.ran, (std::vector<Text>{DotNet, MainApp, PdfPrinter}));
    EXPECT_EQ(state.Outcome, ExitCode::PackageFailed);
}

TEST_F(InstallPackagesTest, DeletedMarkerCountsAsNotCompleted)
{
    PlanAllThree();
    runner.whileRunning = [this](const Text& path) {
        if (path == MainApp) fake.settings.values.erase(Marker);
    };
    Install();
    EXPECT_EQ(runner.ran, (std::vector<Text>{DotNet, MainApp}));
    ExpectTheQuestionOnce();
}

TEST_F(InstallPackagesTest, MarkerIsZeroWhenTheMainInstallerStartsAndNotBeforeDotNet)
{
    PlanAllThree();
    fake.settings.values[Marker] = u"1";
    std::vector<Text> markerSeen;
    runner.whileRunning = [&](const Text&) { markerSeen.push_back(fake.settings.values[Marker]); };

    Install();

    EXPECT_EQ(markerSeen, (std::vector<Text>{u"1", u"0"}));
    ExpectTheQuestionOnce();
}

TEST_F(InstallPackagesTest, SettingsFailureEndsTheSequenceAndReachesTheCaller)
{
    PlanAllThree();
    fake.settings.failing = true;
    EXPECT_THROW(Install(), RuntimeError);
    EXPECT_EQ(runner.ran, std::vector<Text>{DotNet});
}

} // namespace
