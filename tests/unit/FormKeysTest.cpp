#include "tests/fakes/FakeWebSetupControls.h"

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

const Log CompleteRun = {"fetch 1", "done 1", "fetch 2", "done 2", "hide", "install", "unload"};

TEST(FormKeyDown, EnterAndSpaceStartARunLikeAClick)
{
    for (const FormKey key : {FormKey::Enter, FormKey::Space}) {
        WebSetupHarness h(2);
        h.webSetup.Form_KeyDown(key, false);
        h.Serve();
        EXPECT_EQ(h.log, CompleteRun);
        EXPECT_TRUE(h.fake.dialogs.shown.empty());
    }
}

TEST(FormKeyDown, RepeatsOfAHeldKeyAndEscapeWhileIdlePressNothing)
{
    WebSetupHarness h(2);
    h.webSetup.Form_KeyDown(FormKey::Enter, true);
    h.webSetup.Form_KeyDown(FormKey::Space, true);
    h.webSetup.Form_KeyDown(FormKey::Escape, false);
    h.Serve();
    EXPECT_TRUE(h.log.empty());
    EXPECT_TRUE(h.fake.dialogs.shown.empty());
    EXPECT_FALSE(h.webSetup.Downloading());
}

TEST(FormKeyDown, EscapeDuringARunAsksToCancelAndYesStopsIt)
{
    WebSetupHarness h(2);
    h.fake.dialogs.answers = {MsgBoxResult::No, MsgBoxResult::Yes};
    h.duringPump = [&](int entry, int chunk) {
        if (entry != 1) return;
        if (chunk == 1) {
            // The repeat of the key that started the run asks nothing.
            h.webSetup.Form_KeyDown(FormKey::Enter, true);
            h.webSetup.Form_KeyDown(FormKey::Escape, false);
        } else if (chunk == 2) {
            h.webSetup.Form_KeyDown(FormKey::Escape, false);
            // After the confirmed cancel, before the transfer has stopped: no question, no new run.
            h.webSetup.Form_KeyDown(FormKey::Escape, false);
            h.webSetup.Form_KeyDown(FormKey::Enter, false);
        }
    };
    h.webSetup.Form_KeyDown(FormKey::Space, false);
    h.Serve();
    ASSERT_EQ(h.fake.dialogs.shown.size(), 2u);
    for (const ShownMessage& box : h.fake.dialogs.shown) EXPECT_EQ(box.text, CancelQuestion);
    EXPECT_EQ(h.log, (Log{"fetch 1", "cancelled 1"}));
    EXPECT_FALSE(h.webSetup.Downloading());
}

}  // namespace
