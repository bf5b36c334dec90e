#include "platform/RuntimeError.h"
#include "tests/fakes/FakeWebSetupControls.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const Log CompleteRun = {"fetch 1", "done 1", "fetch 2", "done 2", "fetch 3", "done 3",
                         "hide",    "install", "unload"};

TEST(WebSetupFormLoad, ShowsDashWelcomeTextAndTheIdleImage)
{
    WebSetupHarness h(3);
    EXPECT_EQ(h.label1.caption, u"-");
    EXPECT_EQ(h.label2.caption, u"QorMAVIK indirme yöneticine hoş geldiniz. Bu program kurulum için gerekli "
                                u"olan dosyaları indirecek ve kurulumu başlatacaktır.");
    EXPECT_EQ(h.buttons.Shown(), 0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(h.buttons.pointers[i], FakeButtonGroup::Hand) << i;
    EXPECT_FALSE(h.webSetup.Downloading());
    EXPECT_TRUE(h.state.ShowStatus);
    EXPECT_EQ(h.bar.YellowColumns(), 0);
    EXPECT_TRUE(h.log.empty());
    EXPECT_EQ(h.state.Outcome, ExitCode::Cancelled);
}

TEST(WebSetupFormClick, CompleteRunFetchesInOrderThenHidesInstallsAndUnloads)
{
    WebSetupHarness h(3);
    h.webSetup.IndKur1_Click(2);
    h.Serve();
    EXPECT_EQ(h.log, CompleteRun);
    ASSERT_EQ(h.statusLabels.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(h.statusLabels[i], &h.label1);
        EXPECT_EQ(h.bars[i], &h.webSetup);
    }
    EXPECT_TRUE(h.fake.dialogs.shown.empty());
    EXPECT_FALSE(h.state.CancelRequested);
    EXPECT_EQ(h.state.Outcome, ExitCode::Installed);
}

TEST(WebSetupFormClick, AnsweringNoLetsTheTransferGoOn)
{
    WebSetupHarness h(3);
    h.duringPump = [&](int entry, int chunk) {
        if (entry == 2 && chunk == 1) h.webSetup.IndKur1_Click(0);
    };
    h.Click();
    ASSERT_EQ(h.fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.fake.dialogs.shown[0].text, u"İndirme işlemi iptal edilsin mi?");
    EXPECT_EQ(h.fake.dialogs.shown[0].style, 0x24);
    EXPECT_EQ(h.fake.dialogs.shown[0].title, u"MavikWebSetup");
    EXPECT_EQ(h.log, CompleteRun);
}

TEST(WebSetupFormClick, YesStopsTheSecondOfThreeAndTheNextClickStartsFromTheFirst)
{
    WebSetupHarness h(3);
    h.fake.dialogs.answers = {MsgBoxResult::Yes};
    h.duringPump = [&](int entry, int chunk) {
        if (entry == 2 && chunk == 1) h.webSetup.IndKur1_Click(0);
    };
    h.failing = {1};
    h.Click();
    EXPECT_EQ(h.log, (Log{"fetch 1", "failed 1", "fetch 2", "cancelled 2"}));
    EXPECT_FALSE(h.webSetup.Downloading());
    EXPECT_TRUE(h.state.CancelRequested);
    // The cancel, not the failure before it, is how the run ended.
    EXPECT_EQ(h.state.Outcome, ExitCode::Cancelled);

    h.duringPump = nullptr;
    h.failing.clear();
    h.log.clear();
    h.Click();
    EXPECT_EQ(h.log, CompleteRun);
    EXPECT_FALSE(h.state.CancelRequested);
}

TEST(WebSetupFormClick, ClickAfterAConfirmedCancelStartsNoRunInsideTheFirst)
{
    WebSetupHarness h(3);
    h.fake.dialogs.answers = {MsgBoxResult::Yes, MsgBoxResult::Yes};
    h.duringPump = [&](int entry, int chunk) {
        if (entry != 2 || chunk != 1) return;
        h.webSetup.IndKur1_Click(0);
        h.webSetup.IndKur1_Click(0);
    };
    h.Click();
    EXPECT_EQ(h.fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.log, (Log{"fetch 1", "done 1", "fetch 2", "cancelled 2"}));
}

TEST(WebSetupFormClick, FailedTransferFetchesTheRestInstallsNothingAndShowsTheFirstFailure)
{
    WebSetupHarness h(3);
    h.failing = {1, 3};
    h.Click();
    EXPECT_EQ(h.log, (Log{"fetch 1", "failed 1", "fetch 2", "done 2", "fetch 3", "failed 3"}));
    EXPECT_EQ(h.label1.caption, u"failed 1");
    EXPECT_GT(h.label1.refreshes, 0);
    EXPECT_FALSE(h.webSetup.Downloading());
    h.webSetup.MouseCheck_Timer();
    EXPECT_EQ(h.buttons.Shown(), 0);
    EXPECT_EQ(h.state.Outcome, ExitCode::DownloadFailed);

    h.failing.clear();
    h.log.clear();
    h.Click();
    EXPECT_EQ(h.log, CompleteRun);
    EXPECT_EQ(h.state.Outcome, ExitCode::Installed);
}

TEST(WebSetupFormClick, InstallErrorIsReportedAndTheWindowStillUnloads)
{
    WebSetupHarness h(1);
    h.install = [&] {
        h.log.push_back("install");
        throw RuntimeError(ErrorNumber::PathFileAccess, u"Path/File access error");
    };
    h.fake.dialogs.whileOpen = [&] { h.log.push_back("message"); };
    h.Click();
    EXPECT_EQ(h.log, (Log{"fetch 1", "done 1", "hide", "install", "message", "unload"}));
    ASSERT_EQ(h.fake.dialogs.shown.size(), 1u);
    EXPECT_EQ(h.fake.dialogs.shown[0].text, u"Path/File access error");
    EXPECT_EQ(h.fake.dialogs.shown[0].style, MsgBoxStyle::Critical);
    EXPECT_EQ(h.fake.dialogs.shown[0].title, u"MavikWebSetup");
    EXPECT_EQ(h.state.Outcome, ExitCode::SetupError);
}

TEST(WebSetupFormClose, WhileIdleUnloadsAtOnce)
{
    WebSetupHarness h(3);
    h.webSetup.Form_QueryUnload();
    EXPECT_EQ(h.log, (Log{"unload"}));
}

TEST(WebSetupFormClose, DuringARunCancelsWithoutAskingAndUnloadsOnceTheTransferHasStopped)
{
    WebSetupHarness h(3);
    h.duringPump = [&](int entry, int chunk) {
        if (entry != 2 || chunk != 1) return;
        h.webSetup.Form_QueryUnload();
        h.log.push_back("closed");
        // A click that was queued behind the close.
        h.webSetup.IndKur1_Click(0);
    };
    h.Click();
    EXPECT_EQ(h.log, (Log{"fetch 1", "done 1", "fetch 2", "closed", "cancelled 2", "unload"}));
    EXPECT_TRUE(h.fake.dialogs.shown.empty());
    EXPECT_TRUE(h.state.CancelRequested);
}

} // namespace
