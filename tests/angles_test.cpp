#include "plugin/grow/angles.h"

#include <cmath>

#include <gtest/gtest.h>

namespace tuft {
namespace {

struct Case {
    double n[3];
    double x, z;
};

TEST(Angles, DocumentedNormalsGiveDocumentedTurns)
{
    const double s = 1 / std::sqrt(3.0);
    const Case cases[] = {
        {{0, 1, 0}, 0, 0},
        {{0, -1, 0}, 180, 0},
        {{0, 0, 1}, -90, 0},
        {{0, 0, -1}, 90, 0},
        {{1, 0, 0}, 0, 90},
        {{-1, 0, 0}, 0, -90},
        {{0.6, 0.8, 0}, 0, 36.86989764584402},
        {{0, -0.6, 0.8}, 233.13010235415598, 0},
        {{0.6, -0.8, 0}, 180, -36.86989764584402},
        {{s, s, s}, -45, 45},
    };
    for (const Case &c : cases) {
        const Alignment a = alignmentFromNormal(c.n);
        EXPECT_NEAR(a.aboutX, c.x, 1e-12) << c.n[0] << " " << c.n[1] << " " << c.n[2];
        EXPECT_NEAR(a.aboutZ, c.z, 1e-12) << c.n[0] << " " << c.n[1] << " " << c.n[2];
    }
    EXPECT_EQ(alignmentFromNormal({0, -0.6, 0.8}).aboutX, 233.13010235415598);
}

TEST(Angles, NegativeZeroUpTakesTheUpperRow)
{
    EXPECT_EQ(alignmentFromNormal({0, -0.0, 1}).aboutX, -90.0);
    EXPECT_EQ(alignmentFromNormal({0, -0.0, -1}).aboutX, 90.0);
}

} // namespace
} // namespace tuft
