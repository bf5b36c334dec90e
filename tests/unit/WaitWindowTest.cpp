#include "runner/WaitWindow.h"
#include "tests/fakes/FakePlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

constexpr WindowHandle WaitWindowHandle = 4242;

// The window side of FOneAl: records what the handlers ask of it and runs
// the handlers the way the window runtime does.
class FakeWaitWindow : public WaitWindowView {
public:
    explicit FakeWaitWindow(FOneAl& handlers) : handlers_(handlers) {}

    std::vector<std::string> log;
    bool loaded = false;
    bool visible = false;
    bool timerOn = false;
    bool timerFails = false;

    void Load() override
    {
        log.push_back("Load");
        loaded = true;
        handlers_.Form_Load(*this);
    }
    void Show() override
    {
        log.push_back("Show");
        visible = true;
    }
    WindowHandle Handle() override { return WaitWindowHandle; }
    void SetTopmost() override
    {
        log.push_back("Topmost");
        visible = true;
    }
    void EnableTimer(bool enabled) override
    {
        if (enabled && timerFails) throw RuntimeError(ErrorNumber::InvalidProcedureCall, u"No more timers");
        log.push_back(enabled ? "TimerOn" : "TimerOff");
        timerOn = enabled;
    }
    void Focus() override { log.push_back("Focus"); }
    void Hide() override
    {
        log.push_back("Hide");
        visible = false;
    }
    void Unload() override
    {
        if (!loaded) return;
        log.push_back("Unload");
        handlers_.Form_Unload();
        loaded = visible = timerOn = false;
    }

    // A tick of Timer1 as the event pump dispatches it.
    void Tick()
    {
        if (loaded && timerOn) handlers_.Timer1_Timer(*this);
    }

private:
    FOneAl& handlers_;
};

const Text Exe = u"C:\\Setup\\mavikfiles\\QorMavik64.exe";
const Text Msi = u"C:\\Setup\\mavikfiles\\paket.msi";
const Text Staging = u"C:\\ProgramData\\MavikSetupWebCD\\Paketler-1\\";

class RunPackageTest : public ::testing::Test {
protected:
    RunPackageTest()
    {
        fake.files.files[Exe] = "MZ";
        fake.files.files[Msi] = "msi";
        fake.processes.startable[Staging + u"QorMavik64.exe"] = 7;
        // No window ever shows up; the search for one ends after its two seconds.
        fake.clock.step = 0.25;
        // Timer1 fires on every third pass of the pump.
        fake.events.onDoEvents = [this] {
            busyWhilePumping.push_back(state.RunnerBusy);
            if (fake.events.calls % 3 == 0) window.Tick();
        };
    }
    void Run(const Text& path) { RunPackage(state, fake.events, window, path); }
    int Count(const std::string& entry) const
    {
        return static_cast<int>(std::count(window.log.begin(), window.log.end(), entry));
    }
    // ShellAndWait logs each package it is given before it copies and starts it.
    int LaunchesOf(const Text& path) const
    {
        return static_cast<int>(std::count(fake.log.lines.begin(), fake.log.lines.end(), u"Start: \"" + path + u"\""));
    }

    FakePlatform fake;
    SetupState state;
    StagingFolder staging{fake.platform};
    FOneAl handlers{state, fake.platform, staging};
    FakeWaitWindow window{handlers};
    std::vector<bool> busyWhilePumping;
};

TEST_F(RunPackageTest, ExecutableRunsBehindTheHiddenWindowAndIsWaitedFor)
{
    fake.processes.onWait = [this](std::uint32_t) {
        EXPECT_TRUE(state.RunnerBusy);
        EXPECT_TRUE(window.loaded);
        EXPECT_FALSE(window.visible);
    };

    Run(Exe);

    EXPECT_EQ(window.log, (std::vector<std::string>{"Load", "Topmost", "TimerOn", "Show", "Focus", "Hide",
                                                   "TimerOff", "Unload"}));
    EXPECT_EQ(fake.processes.log,
              (std::vector<Text>{u"Start " + Staging + u"QorMavik64.exe 1", u"Wait 7", u"Close 7"}));
    EXPECT_EQ(fake.events.calls, 3);
    // Each pass sleeps until an event comes: no spin over the event pump.
    EXPECT_EQ(fake.events.waits, 3);
    EXPECT_EQ(busyWhilePumping, (std::vector<bool>{true, true, true}));
    EXPECT_FALSE(state.RunnerBusy);
    EXPECT_EQ(state.CurrentPackage, Exe);
}

class RunPackageMsi : public RunPackageTest, public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(RunPackageMsi, GoesToTheShellMaximisedAndOwnedByTheWaitWindow)
{
    const Text path = GetParam();
    fake.files.files[path] = "msi";
    Run(path);
    const Text name = path.substr(path.find_last_of(u'\\') + 1);
    EXPECT_EQ(fake.processes.log, std::vector<Text>{u"ShellExecute 4242 [] " + Staging + name + u" [] [] 3"});
    EXPECT_EQ(Count("Unload"), 1);
    EXPECT_FALSE(state.RunnerBusy);
}

INSTANTIATE_TEST_SUITE_P(AnyLetterCase, RunPackageMsi,
                         ::testing::Values(u"C:\\p\\paket.msi", u"C:\\p\\PAKET.MSI", u"C:\\p\\paket.mSi", u".msi"));

class RunPackageNotMsi : public RunPackageTest, public ::testing::WithParamInterface<const char16_t*> {};

TEST_P(RunPackageNotMsi, IsStartedAndWaitedFor)
{
    const Text path = GetParam();
    Run(path);
    EXPECT_EQ(LaunchesOf(path), 1);
    EXPECT_EQ(Count("Unload"), 1);
}

INSTANTIATE_TEST_SUITE_P(MsiNotAtTheEndOrTooShort, RunPackageNotMsi,
                         ::testing::Values(u"C:\\p.msi\\setup.exe", u"C:\\p\\paket.msi.exe", u"C:\\p\\paket.msix",
                                           u"msi", u"", u"C:\\p\\paketmsi"));

TEST_F(RunPackageTest, MissingExecutableIsReportedOnceAndTheWindowStillUnloads)
{
    const Text missing = u"C:\\Setup\\mavikfiles\\yok.exe";
    fake.dialogs.whileOpen = [this] {
        window.Tick();
        window.Tick();
    };

    Run(missing);

    // The ticks that come while the message is open launch nothing.
    EXPECT_EQ(LaunchesOf(missing), 1);
    ASSERT_EQ(fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(fake.dialogs.shown[0].title, u"Hata");
    EXPECT_EQ(Count("Unload"), 1);
    EXPECT_FALSE(state.RunnerBusy);
    EXPECT_EQ(state.CurrentPackage, missing);
    EXPECT_EQ(state.Outcome, ExitCode::PackageNotStarted);
}

TEST_F(RunPackageTest, ATimerThatCannotBeSetRaisesAndTakesTheWindowAwayInsteadOfSpinning)
{
    window.timerFails = true;

    EXPECT_THROW(Run(Exe), RuntimeError);

    EXPECT_EQ(window.log, (std::vector<std::string>{"Load", "Topmost", "Unload"}));
    EXPECT_FALSE(window.visible);
    EXPECT_EQ(fake.events.calls, 0);
    EXPECT_TRUE(fake.processes.log.empty());
    EXPECT_FALSE(state.RunnerBusy);
}

TEST_F(RunPackageTest, RefusedMsiIsSkippedSilently)
{
    fake.processes.shellExecuteResult = 2;
    Run(Msi);
    EXPECT_TRUE(fake.dialogs.shown.empty());
    EXPECT_EQ(Count("Unload"), 1);
    EXPECT_FALSE(state.RunnerBusy);
    EXPECT_EQ(state.Outcome, ExitCode::PackageNotStarted);
}

TEST_F(RunPackageTest, EachPackageAddsItsExitCodeToTheSetupsAndALaterSuccessTakesNothingAway)
{
    const std::vector<std::pair<std::uint32_t, ExitCode>> runs = {
        {0, ExitCode::Installed}, {1641, ExitCode::RestartRequired}, {0, ExitCode::RestartRequired},
        {1603, ExitCode::PackageFailed}, {3010, ExitCode::PackageFailed}};
    for (const auto& [exitCode, outcome] : runs) {
        fake.processes.exitCode = exitCode;
        Run(Exe);
        EXPECT_EQ(state.Outcome, outcome) << exitCode;
    }
    Run(Msi);
    EXPECT_EQ(state.Outcome, ExitCode::PackageFailed);
}

TEST_F(RunPackageTest, TwoPackagesEachGetAFreshWindowAndOneLaunch)
{
    Run(Exe);
    EXPECT_FALSE(state.RunnerBusy);
    EXPECT_EQ(state.CurrentPackage, Exe);

    Run(Msi);

    EXPECT_EQ(Count("Load"), 2);
    EXPECT_EQ(Count("TimerOn"), 2);
    EXPECT_EQ(Count("Unload"), 2);
    EXPECT_EQ(fake.processes.log, (std::vector<Text>{u"Start " + Staging + u"QorMavik64.exe 1", u"Wait 7",
                                                     u"Close 7", u"ShellExecute 4242 [] " + Staging + u"paket.msi [] [] 3"}));
    EXPECT_EQ(busyWhilePumping, std::vector<bool>(6, true));
    EXPECT_FALSE(state.RunnerBusy);
    EXPECT_EQ(state.CurrentPackage, Msi);
}

} // namespace
