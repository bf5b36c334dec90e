#include "tests/fakes/FakeWebSetupControls.h"

#include <gtest/gtest.h>

namespace {

// Ticks once and tells which image shows and how many visible flags were written.
struct Tick {
    int shown;
    int writes;
};

Tick TickOnce(WebSetupHarness& h)
{
    const int before = h.buttons.visibleWrites;
    h.webSetup.MouseCheck_Timer();
    return {h.buttons.Shown(), h.buttons.visibleWrites - before};
}

void ExpectTick(WebSetupHarness& h, int shown, int writes)
{
    const Tick tick = TickOnce(h);
    EXPECT_EQ(tick.shown, shown);
    EXPECT_EQ(tick.writes, writes);
}

TEST(MouseCheckTimer, IdleFollowsTheCursorAndWritesNothingOnAnUnchangedTick)
{
    WebSetupHarness h(1);
    ExpectTick(h, 0, 0);
    h.cursor.overButton = true;
    ExpectTick(h, 1, 4);
    ExpectTick(h, 1, 0);
    h.cursor.overButton = false;
    ExpectTick(h, 0, 4);
    ExpectTick(h, 0, 0);
}

TEST(MouseCheckTimer, DownloadingShowsTheCancelImagesAndACancelTurnsThemBack)
{
    WebSetupHarness h(2);
    h.cursor.overButton = true;
    ExpectTick(h, 1, 4);
    h.fake.dialogs.answers = {MsgBoxResult::Yes};
    h.duringPump = [&](int entry, int chunk) {
        if (entry != 1) return;
        if (chunk == 1) {
            ExpectTick(h, 3, 4);
            ExpectTick(h, 3, 0);
            h.cursor.overButton = false;
            ExpectTick(h, 2, 4);
        } else if (chunk == 2) {
            h.webSetup.IndKur1_Click(0);
            ExpectTick(h, 0, 4);
        }
    };
    h.Click();
    EXPECT_EQ(h.log, (std::vector<std::string>{"fetch 1", "cancelled 1"}));
    h.cursor.overButton = true;
    ExpectTick(h, 1, 4);
}

TEST(MouseCheckTimer, UnreadableCursorCountsAsNotOver)
{
    WebSetupHarness h(1);
    h.cursor.readable = false;
    ExpectTick(h, 0, 0);
    h.duringPump = [&](int, int chunk) {
        if (chunk == 1) ExpectTick(h, 2, 4);
    };
    h.Click();
    EXPECT_EQ(h.log.back(), "unload");
}

TEST(MouseCheckTimer, CursorOverAnotherWindowIsNotOver)
{
    WebSetupHarness h(1);
    h.cursor.overButton = true;
    h.buttons.visible = {false, false, false, false};
    // No member is visible, so WindowFromPoint finds another window.
    ExpectTick(h, 0, 4);
}

} // namespace
