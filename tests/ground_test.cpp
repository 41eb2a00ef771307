#include "tests/plugin_fixture.h"

#include <cmath>

namespace tuft::testing {
namespace {

using Ground = PluginTest;

const std::vector<std::string> kBlade = {"SETLAYER", "COPY", "SETLAYER", "PASTE",    "SCALE",
                                         "ROTATE",   "MOVE", "CUT",      "SETLAYER", "PASTE"};

TEST_F(Ground, DrawsGoToScaleSpotAndTurnInOrder)
{
    ASSERT_EQ(run({set("Number", "2"), set("Roughness(random)", "40"), set("Rotation(random)", "180"),
                   set("Field", "3"), ok()}),
              0);
    const std::vector<double> r = drawsFromOne(12);
    EXPECT_EQ(r[0], 69069 / 4294967296.0);
    EXPECT_EQ(r[1], 475559465 / 4294967296.0);
    EXPECT_EQ(r[2], 2801775573 / 4294967296.0);
    for (int blade = 0; blade < 2; ++blade) {
        const double *d = &r[6 * blade];
        const host::CommandCall &scale = nth("SCALE", blade);
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_DOUBLE_EQ(scale.arguments[0].values[axis], 0.6 + d[axis] * (1 - 0.6)) << blade << axis;
        const host::CommandCall &move = nth("MOVE", blade);
        EXPECT_DOUBLE_EQ(move.arguments[0].values[0], d[3] * 3);
        EXPECT_EQ(move.arguments[0].values[1], 0.0);
        EXPECT_DOUBLE_EQ(move.arguments[0].values[2], d[4] * 3);
        EXPECT_NEAR(nth("ROTATE", blade).arguments[0].values[0], d[5] * 180, 1e-9);
    }
}

TEST_F(Ground, RatioFixationTakesOneScaleDraw)
{
    ASSERT_EQ(run({set("Number", "1"), set("Roughness(random)", "100"), set("Ratio fixation", "on"), ok()}), 0);
    const std::vector<double> r = drawsFromOne(4);
    const host::CommandCall &scale = nth("SCALE", 0);
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_DOUBLE_EQ(scale.arguments[0].values[axis], r[0]);
    EXPECT_DOUBLE_EQ(nth("MOVE", 0).arguments[0].values[0], r[1]);
    EXPECT_DOUBLE_EQ(nth("MOVE", 0).arguments[0].values[2], r[2]);
}

TEST_F(Ground, WholeSeriesWithMonitorAndDisposal)
{
    ASSERT_EQ(run({set("Number", "3"), ok()}), 0);
    std::vector<std::string> expected;
    for (int blade = 0; blade < 3; ++blade)
        expected.insert(expected.end(), kBlade.begin(), kBlade.end());
    expected.insert(expected.end(), {"SETLAYER", "CUT", "SETLAYER"});
    // The template is built in the template layer first.
    expected.insert(expected.begin(), "SETLAYER");
    EXPECT_EQ(commandNames(), expected);
    const std::vector<std::string> monitor = monitorEvents();
    const std::vector<std::string> expectedMonitor = {"monitor create progressing | progressing",
                                                      "monitor init 3",
                                                      "monitor step 1",
                                                      "monitor step 1",
                                                      "monitor step 1",
                                                      "monitor done",
                                                      "monitor destroy"};
    EXPECT_EQ(monitor, expectedMonitor);
    EXPECT_EQ(layer(1).pointCount(), 3u * 11);
    EXPECT_EQ(layer(1).polygonCount(), 3u * 5);
    EXPECT_TRUE(layer(407).empty());
    EXPECT_TRUE(layer(408).empty());
    EXPECT_EQ(modeler.activeLayer()->number, 1);
    EXPECT_EQ(panels.panelsDestroyed(), 1);
}

TEST_F(Ground, NumberZeroPlantsNothingButStillOpensAndDisposes)
{
    ASSERT_EQ(run({set("Number", "0"), ok()}), 0);
    const std::vector<std::string> expected = {"SETLAYER", "SETLAYER", "CUT", "SETLAYER"};
    EXPECT_EQ(commandNames(), expected);
    EXPECT_TRUE(layer(1).empty());
    bool initZero = false;
    for (const std::string &event : modeler.events())
        initZero |= event == "monitor init 0";
    EXPECT_TRUE(initZero);
}

TEST_F(Ground, FieldZeroAndNegative)
{
    ASSERT_EQ(run({set("Number", "5"), set("Field", "0"), ok()}), 0);
    for (int blade = 0; blade < 5; ++blade) {
        EXPECT_EQ(nth("MOVE", blade).arguments[0].values[0], 0.0);
        EXPECT_EQ(nth("MOVE", blade).arguments[0].values[2], 0.0);
    }
    modeler.clearRecords();
    ASSERT_EQ(run({set("Number", "20"), set("Field", "-2"), ok()}), 0);
    for (int blade = 0; blade < 20; ++blade) {
        const double x = nth("MOVE", blade).arguments[0].values[0];
        EXPECT_GT(x, -2.0);
        EXPECT_LE(x, 0.0);
    }
}

TEST_F(Ground, RoughnessZeroKeepsTheTemplateSize)
{
    ASSERT_EQ(run({set("Number", "4"), ok()}), 0);
    for (int blade = 0; blade < 4; ++blade)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(nth("SCALE", blade).arguments[0].values[axis], 1.0);
    // The spots still follow the fourth and fifth draws of each blade.
    const std::vector<double> r = drawsFromOne(24);
    EXPECT_DOUBLE_EQ(nth("MOVE", 3).arguments[0].values[0], r[6 * 3 + 3]);
}

TEST_F(Ground, SameClockSecondGivesTheSameGrass)
{
    ASSERT_EQ(run({set("Number", "10"), set("Roughness(random)", "50"), ok()}), 0);
    std::vector<host::Vec3> first;
    for (std::size_t i = 0; i < layer(1).pointCount(); ++i)
        first.push_back(layer(1).position(i));
    object.layer(1)->mesh.clear();
    ASSERT_EQ(run({set("Number", "10"), set("Roughness(random)", "50"), ok()}), 0);
    ASSERT_EQ(layer(1).pointCount(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(layer(1).position(i).x, first[i].x);
}

TEST_F(Ground, BackgroundLayerIsPlantedInsteadOfTheBlade)
{
    host::Mesh &background = object.layer(2)->mesh.flat();
    background.addPoint({0, 0, 0});
    background.addPoint({0, 1, 0});
    object.background = {2};
    ASSERT_EQ(run({set("BGLayer Object", "on"), set("Number", "3"), ok()}), 0);
    EXPECT_EQ(layer(1).pointCount(), 6u);
    EXPECT_EQ(layer(2).pointCount(), 2u);
    EXPECT_TRUE(layer(408).empty());
}

} // namespace
} // namespace tuft::testing
