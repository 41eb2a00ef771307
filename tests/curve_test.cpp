#include "plugin/blade/curve.h"

#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

const double kInitial[kCurveCoordinates] = {0.15, -1.0, -1.0, 0.1, 0.5, -0.5, 0.0, 0.5, 0.5};

std::vector<double> samples(int division)
{
    std::vector<double> ts;
    const double step = 1.0 / division;
    for (double t = 0.0; t <= 1.0; t += step)
        ts.push_back(t);
    return ts;
}

TEST(Curve, InitialPointsGiveTheDocumentedSliderValues)
{
    const double expected[kSliderCount] = {15.5, 10.5, 75.5, 25.5, 75.5, 75.5};
    for (int s = 0; s < kSliderCount; ++s)
        EXPECT_DOUBLE_EQ(coordinateToSlider(s, kInitial[kSliderCoordinate[s]]), expected[s]) << s;
}

TEST(Curve, SliderMappingsCarryTheHalfUnitOffset)
{
    EXPECT_EQ(sliderToCoordinate(0, 50.5), 0.5);
    EXPECT_EQ(sliderToCoordinate(1, 50.5), 0.5);
    for (int s = 2; s < kSliderCount; ++s)
        EXPECT_EQ(sliderToCoordinate(s, 50.5), 0.0) << s;
    EXPECT_DOUBLE_EQ(sliderToCoordinate(0, 50), 0.495);
    EXPECT_NEAR(sliderToCoordinate(2, 50), -0.01, 1e-15);
    EXPECT_DOUBLE_EQ(sliderToCoordinate(0, 0), -0.005);
    EXPECT_DOUBLE_EQ(sliderToCoordinate(0, 100), 0.995);
    EXPECT_DOUBLE_EQ(sliderToCoordinate(4, 100), 0.99);
    // No clamping either way.
    EXPECT_DOUBLE_EQ(sliderToCoordinate(0, 200), 1.995);
}

TEST(Curve, MappingsAreInverse)
{
    for (int s = 0; s < kSliderCount; ++s)
        for (double v : {0.0, 3.25, 15.5, 50.0, 99.9, 100.0})
            EXPECT_NEAR(coordinateToSlider(s, sliderToCoordinate(s, v)), v, 1e-12) << s << " " << v;
}

TEST(Curve, EvaluationRunsFromTipToBase)
{
    const Point3 tip = evaluateCurve(kInitial, 0.0);
    EXPECT_EQ(tip.x, 0.0);
    EXPECT_EQ(tip.y, 0.5);
    EXPECT_EQ(tip.z, 0.5);
    const Point3 base = evaluateCurve(kInitial, 1.0);
    EXPECT_EQ(base.x, 0.15);
    EXPECT_EQ(base.y, -1.0);
    EXPECT_EQ(base.z, -1.0);
    const Point3 middle = evaluateCurve(kInitial, 0.5);
    EXPECT_DOUBLE_EQ(middle.x, 0.0875);
    EXPECT_DOUBLE_EQ(middle.y, 0.125);
    EXPECT_DOUBLE_EQ(middle.z, -0.375);
}

TEST(Curve, AccumulatedSamplingGivesDivisionPlusOneSamples)
{
    for (int d = kMinDivision; d <= kMaxDivision; ++d)
        EXPECT_EQ(samples(d).size(), static_cast<std::size_t>(d + 1)) << d;
    EXPECT_EQ(samples(1), (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(samples(5), (std::vector<double>{0.0, 0.2, 0.4, 0.6000000000000001, 0.8, 1.0}));
    EXPECT_EQ(samples(8).back(), 1.0);
    EXPECT_EQ(samples(6).back(), 0.9999999999999999);
    EXPECT_EQ(samples(7).back(), 0.9999999999999998);
}

TEST(Curve, DivisionIsClampedToTheTables)
{
    EXPECT_EQ(clampDivision(0), 1);
    EXPECT_EQ(clampDivision(-7), 1);
    EXPECT_EQ(clampDivision(5), 5);
    EXPECT_EQ(clampDivision(9), 8);
}

} // namespace
} // namespace tuft
