#include "runner/ShellAndWait.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

namespace {

const Text Path = u"C:\\Setup\\mavikfiles\\QorMavik64.exe";
const Text Staged = u"C:\\ProgramData\\MavikSetupWebCD\\Paketler-1\\QorMavik64.exe";
constexpr std::uint32_t Pid = 500;
constexpr std::uint32_t OtherPid = 77;

class ShellAndWaitTest : public ::testing::Test {
protected:
    ShellAndWaitTest()
    {
        fake.files.files[Path] = "MZ";
        fake.processes.startable[Staged] = Pid;
        // Every walk of the window list takes half a second.
        fake.processes.onZOrderWalk = [this] {
            ++walks;
            fake.clock.now += 0.5;
        };
    }

    FakePlatform fake;
    StagingFolder staging{fake.platform};
    int walks = 0;
};

TEST_F(ShellAndWaitTest, RaisesTheFirstCountingWindowOnceAndWaitsForTheExit)
{
    fake.processes.zOrder = {{10, OtherPid}, {11, Pid, 10}, {12, Pid}, {13, Pid}};

    ShellAndWait(fake.platform, staging, Path, 1, nullptr);

    EXPECT_EQ(fake.processes.log,
              (std::vector<Text>{u"Start " + Staged + u" 1", u"Top 12", u"Wait 500", u"Close 500"}));
    EXPECT_EQ(walks, 1);
    EXPECT_TRUE(fake.dialogs.shown.empty());
}

TEST_F(ShellAndWaitTest, KeepsSearchingUntilTheWindowShowsUp)
{
    fake.processes.onZOrderWalk = [this] {
        if (++walks == 3) fake.processes.zOrder.push_back({20, Pid});
        fake.clock.now += 0.5;
    };

    ShellAndWait(fake.platform, staging, Path, 1, nullptr);

    EXPECT_EQ(walks, 3);
    EXPECT_EQ(fake.processes.log,
              (std::vector<Text>{u"Start " + Staged + u" 1", u"Top 20", u"Wait 500", u"Close 500"}));
    // Between the looks only what other programs send us is served, for a moment: no spin, no
    // click or tick handled.
    EXPECT_EQ(fake.events.sentMessageWaits, std::vector<double>(2, 0.015));
    EXPECT_EQ(fake.events.calls, 0);
}

TEST_F(ShellAndWaitTest, GivesUpTheSearchAfterTwoSecondsAndStillWaits)
{
    // Only an owned pop-up of the process: it never counts.
    fake.processes.zOrder = {{10, OtherPid}, {11, Pid, 10}};

    ShellAndWait(fake.platform, staging, Path, 1, nullptr);

    // Walks start at 0, 0.5, 1.0 and 1.5 seconds; at 2.0 the search is over.
    EXPECT_EQ(walks, 4);
    EXPECT_EQ(fake.processes.log, (std::vector<Text>{u"Start " + Staged + u" 1", u"Wait 500", u"Close 500"}));
}

TEST_F(ShellAndWaitTest, StartFailureIsReportedInTurkishWithoutSearchOrWait)
{
    const Text missing = u"C:\\Setup\\mavikfiles\\Yok Ğ.exe";
    fake.files.files[missing] = "not a program";
    fake.processes.startError = u"The system cannot find the file specified.";

    ShellAndWait(fake.platform, staging, missing, 1, nullptr);

    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].text,
              u"Program başlatılamadı: C:\\Setup\\mavikfiles\\Yok Ğ.exe\r\nThe system cannot find the file specified.");
    EXPECT_EQ(fake.dialogs.shown[0].style, 48);
    EXPECT_EQ(fake.dialogs.shown[0].title, u"Hata");
    EXPECT_EQ(walks, 0);
    EXPECT_EQ(fake.processes.log,
              std::vector<Text>{u"Start C:\\ProgramData\\MavikSetupWebCD\\Paketler-1\\Yok Ğ.exe 1"});
}

TEST_F(ShellAndWaitTest, LogsTheStartAndTheExitCodeOrThatItIsUnknownAndReturnsWhatItTellsTheSetup)
{
    const Text started = u"Start: \"" + Path + u"\"";
    const Text staged = u"Staged: \"" + Staged + u"\"";
    fake.processes.exitCode = 1603;
    EXPECT_EQ(ShellAndWait(fake.platform, staging, Path, 1, nullptr), ExitCode::PackageFailed);
    fake.processes.exitCode.reset();
    EXPECT_EQ(ShellAndWait(fake.platform, staging, Path, 1, nullptr), ExitCode::PackageFailed);
    fake.processes.startable.clear();
    EXPECT_EQ(ShellAndWait(fake.platform, staging, Path, 1, nullptr), ExitCode::PackageNotStarted);

    EXPECT_EQ(fake.log.lines, (std::vector<Text>{started, staged, u"Exit code: 1603 (\"" + Path + u"\")", started,
                                                 staged, u"Exit code: unknown (\"" + Path + u"\")", started,
                                                 staged}));
}

TEST(FindProcessWindow, TakesTheFirstWindowOfTheProcessThatIsNotAnOwnedPopUp)
{
    FakeProcesses processes;
    EXPECT_EQ(FindProcessWindow(processes, Pid), 0u);
    processes.zOrder = {{1, OtherPid}, {2, Pid, 1}, {3, OtherPid, 2}};
    EXPECT_EQ(FindProcessWindow(processes, Pid), 0u);
    EXPECT_FALSE(BringProcessWindowToTop(processes, Pid));
    processes.zOrder.push_back({4, Pid});
    processes.zOrder.push_back({5, Pid});
    EXPECT_EQ(FindProcessWindow(processes, Pid), 4u);
    EXPECT_TRUE(processes.log.empty());
}

} // namespace

TEST_F(ShellAndWaitTest, PinnedPackageStartsFromTheCheckedFileHeldUntilItHasStarted)
{
    fake.files.files[Path] = "MZ vendor";
    const PackagePin pin{u"QorMavik64.exe", Sha256Of("MZ vendor"), 9};
    bool lockedAtStart = false;
    fake.processes.onStart = [&](const Text& path) {
        lockedAtStart = fake.files.Locked(path);
        // Whoever tries to swap the file now is refused.
        EXPECT_THROW(fake.files.Create(path), RuntimeError);
    };
    fake.processes.onWait = [&](std::uint32_t) { EXPECT_FALSE(fake.files.Locked(Path)); };

    ShellAndWait(fake.platform, staging, Path, 1, &pin);

    EXPECT_TRUE(lockedAtStart);
    EXPECT_EQ(fake.processes.log.front(), u"Start " + Staged + u" 1");
    EXPECT_TRUE(fake.dialogs.shown.empty());
    EXPECT_EQ(fake.files.files[Path], "MZ vendor");
}

TEST_F(ShellAndWaitTest, PinnedPackageThatDoesNotMatchIsReportedLikeAStartFailure)
{
    const PackagePin pin{u"QorMavik64.exe", Sha256Of("MZ vendor"), std::nullopt};
    struct Case {
        const char* what;
        std::optional<std::string> content;
        Text description;
    };
    for (const auto& [what, content, description] :
         {Case{"replaced", "MZ evil!!", u"dosya doğrulanamadı"}, Case{"gone", std::nullopt, u"File not found"}}) {
        SCOPED_TRACE(what);
        FakePlatform pinFake;
        pinFake.processes.startable[Staged] = Pid;
        if (content) pinFake.files.files[Path] = *content;
        StagingFolder pinStaging(pinFake.platform);

        ShellAndWait(pinFake.platform, pinStaging, Path, 1, &pin);

        EXPECT_TRUE(pinFake.processes.log.empty());
        ASSERT_EQ(pinFake.dialogs.shown.size(), 1u);
        EXPECT_EQ(pinFake.dialogs.shown[0].text, u"Program başlatılamadı: " + Path + u"\r\n" + description);
        EXPECT_EQ(pinFake.dialogs.shown[0].style, 48);
        EXPECT_EQ(pinFake.dialogs.shown[0].title, u"Hata");
        EXPECT_FALSE(pinFake.files.Locked(Path));
    }
}
