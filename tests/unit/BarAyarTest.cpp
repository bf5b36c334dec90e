#include "platform/RuntimeError.h"
#include "tests/fakes/FakeWebSetupControls.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

// The bar is a yellow strip from the left, white to its right, about W × oran wide.
void ExpectBarAt(const PixelBar& bar, float oran)
{
    const int columns = bar.YellowColumns();
    ASSERT_GE(columns, 0) << "not a yellow strip on white";
    EXPECT_NEAR(columns, PixelBar::Outer * oran, 1.0) << oran;
}

TEST(BarAyar, GrowsAndFallsBackWithoutATraceOfTheLongerBar)
{
    WebSetupHarness h(1);
    for (float oran : {0.25f, 0.5f, 0.1f}) {
        h.webSetup.BarAyar(oran);
        ExpectBarAt(h.bar, oran);
    }
}

TEST(BarAyar, FullFromOneOnAndEmptyBelowZero)
{
    WebSetupHarness h(1);
    h.webSetup.BarAyar(0.5f);
    h.webSetup.BarAyar(1.5f);
    EXPECT_EQ(h.bar.YellowColumns(), PixelBar::Width);
    h.webSetup.BarAyar(0.5f);
    h.webSetup.BarAyar(-0.5f);
    EXPECT_EQ(h.bar.YellowColumns(), 0);
    h.webSetup.BarAyar(1.0f);
    EXPECT_EQ(h.bar.YellowColumns(), PixelBar::Width);
    h.webSetup.BarAyar(0.3f);
    ExpectBarAt(h.bar, 0.3f);
}

TEST(BarAyar, NonFiniteFractionRaisesOverflowAndKeepsTheBar)
{
    WebSetupHarness h(1);
    h.webSetup.BarAyar(0.5f);
    try {
        h.webSetup.BarAyar(std::nanf(""));
        FAIL() << "a fraction that is no number must raise";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.Number(), ErrorNumber::Overflow);
    }
    ExpectBarAt(h.bar, 0.5f);
    h.webSetup.BarAyar(0.75f);
    ExpectBarAt(h.bar, 0.75f);
}

} // namespace
