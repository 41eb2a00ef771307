#include "plugin/grow/draws.h"

#include <gtest/gtest.h>

namespace tuft {
namespace {

TEST(Random, FromStateOneTheFirstDrawsAreTheDocumentedOnes)
{
    RandomSource random{1};
    EXPECT_EQ(random.draw(), 69069 / 4294967296.0);
    EXPECT_EQ(random.state, 69069u);
    EXPECT_EQ(random.draw(), 475559465 / 4294967296.0);
    EXPECT_EQ(random.draw(), 2801775573 / 4294967296.0);
    EXPECT_DOUBLE_EQ(2801775573 / 4294967296.0, 0.6523392100352794);
}

TEST(Random, SeedIsTheClockXorTheMask)
{
    RandomSource random{0};
    random.seed(0x075BD925);
    EXPECT_EQ(random.state, 1u);
    random.seed(0x1'0000'0000ull + 5); // only the low 32 bits count
    EXPECT_EQ(random.state, 5u ^ 0x075BD924u);
    // A zero state stays zero: every draw is 0.
    random.seed(0x075BD924);
    EXPECT_EQ(random.draw(), 0.0);
    EXPECT_EQ(random.draw(), 0.0);
}

TEST(Random, DrawsStayBelowOne)
{
    RandomSource random{0xFFFFFFFFu};
    for (int i = 0; i < 100000; ++i) {
        const double r = random.draw();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
    }
}

TEST(Random, ScaleDrawTakesOneOrThreeDraws)
{
    const RunValues fixed = makeRunValues(50, 0, true);
    RandomSource a{1};
    const Scale even = drawScale(a, fixed);
    EXPECT_EQ(even.x, even.y);
    EXPECT_EQ(even.y, even.z);
    EXPECT_EQ(a.state, 69069u);
    EXPECT_DOUBLE_EQ(even.x, 0.5 + 69069 / 4294967296.0 * 0.5);

    const RunValues loose = makeRunValues(50, 0, false);
    RandomSource b{1};
    const Scale apart = drawScale(b, loose);
    EXPECT_DOUBLE_EQ(apart.x, 0.5 + 69069 / 4294967296.0 * 0.5);
    EXPECT_DOUBLE_EQ(apart.y, 0.5 + 475559465 / 4294967296.0 * 0.5);
    EXPECT_DOUBLE_EQ(apart.z, 0.5 + 2801775573 / 4294967296.0 * 0.5);
}

TEST(Random, RoughnessEndsGiveFixedOrFullRange)
{
    const RunValues none = makeRunValues(0, 0, false);
    EXPECT_EQ(none.roughnessFloor, 1.0);
    EXPECT_EQ(none.roughnessSpan, 0.0);
    RandomSource random{12345};
    const Scale one = drawScale(random, none);
    EXPECT_EQ(one.x, 1.0);
    EXPECT_EQ(one.z, 1.0);
    const RunValues full = makeRunValues(100, 0, false);
    EXPECT_EQ(full.roughnessFloor, 0.0);
    EXPECT_EQ(full.roughnessSpan, 1.0);
}

TEST(Random, TurnIsTheDrawTimesTheMaximumInDegrees)
{
    const RunValues run = makeRunValues(0, 3.141592653589793, false);
    EXPECT_DOUBLE_EQ(run.maximumTurn, 180.0);
    RandomSource random{1};
    EXPECT_DOUBLE_EQ(drawTurn(random, run), 69069 / 4294967296.0 * run.maximumTurn);
    const RunValues still = makeRunValues(0, 0, false);
    EXPECT_EQ(drawTurn(random, still), 0.0);
    EXPECT_EQ(random.state, 475559465u); // the draw is still taken
}

} // namespace
} // namespace tuft
