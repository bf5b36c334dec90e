#include "platform/ArtworkScale.h"

#include <gtest/gtest.h>

namespace {

int PercentFor(int dpi) { return ArtworkScales.at(NearestArtworkScale(dpi)); }

TEST(NearestArtworkScale, EachDrawnScaleIsPickedAtItsOwnDpi)
{
    EXPECT_EQ(PercentFor(96), 100);
    EXPECT_EQ(PercentFor(120), 125);
    EXPECT_EQ(PercentFor(144), 150);
    EXPECT_EQ(PercentFor(192), 200);
}

TEST(NearestArtworkScale, BetweenScalesTheNearestHalfwayTheLarger)
{
    EXPECT_EQ(PercentFor(107), 100);
    EXPECT_EQ(PercentFor(108), 125);  // halfway between 96 and 120
    EXPECT_EQ(PercentFor(131), 125);
    EXPECT_EQ(PercentFor(132), 150);  // halfway between 120 and 144
    // 175 %: nearer to 150 % than to 200 %; 168 lies halfway.
    EXPECT_EQ(PercentFor(167), 150);
    EXPECT_EQ(PercentFor(168), 200);
}

TEST(NearestArtworkScale, OutsideTheDrawnRangeTheNearestEnd)
{
    EXPECT_EQ(PercentFor(72), 100);
    EXPECT_EQ(PercentFor(0), 100);
    EXPECT_EQ(PercentFor(288), 200);
}

}  // namespace
