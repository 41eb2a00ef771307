// Selection capture, Point planting and Polygon planting through the host.
#include "tests/plugin_fixture.h"

#include <cmath>

namespace tuft::testing {
namespace {

class Planting : public PluginTest {
public:
    // Ten points along X, with a "ZTSW" value on those given.
    void tenPoints(const std::vector<std::pair<int, float>> &weights)
    {
        host::Mesh &mesh = object.layer(1)->mesh.flat();
        for (int i = 0; i < 10; ++i)
            mesh.addPoint({double(i), 0.5 * i, -1.0 * i});
        const auto key = static_cast<std::uint32_t>(object.mapKey(MH_MAP_WEIGHT, "ZTSW", 1));
        host::PointMap &map = mesh.mapFor(key, MH_MAP_WEIGHT, 1);
        for (const auto &[point, weight] : weights) {
            map.values[point] = weight;
            map.has[point] = 1;
        }
    }
    void select(std::initializer_list<int> points)
    {
        for (int p : points)
            object.layer(1)->mesh.setPointFlags(p, MH_FLAG_SELECTED);
    }
};

TEST_F(Planting, PointsGetABladeEachInScanOrder)
{
    tenPoints({});
    select({2, 5, 7});
    ASSERT_EQ(run({set("Mode", "Point"), set("Rotation(random)", "90"), ok()}), 0);
    const auto moves = calls("MOVE");
    ASSERT_EQ(moves.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        const int point = std::vector<int>{2, 5, 7}[i];
        EXPECT_EQ(moves[i]->arguments[0].values[0], double(point));
        EXPECT_EQ(moves[i]->arguments[0].values[1], 0.5 * point);
        EXPECT_EQ(moves[i]->arguments[0].values[2], -1.0 * point);
    }
    // Unweighted: three scale draws, then the turn, per point.
    const std::vector<double> r = drawsFromOne(8);
    EXPECT_NEAR(calls("ROTATE")[1]->arguments[0].values[0], r[7] * 90, 1e-9);
    const std::vector<std::string> expectedMonitor = {
        "monitor create \x90\x69\x8D\x73\x8B\xEF\x8D\x87 | \x90\x69\x8D\x73\x92\x86",
        "monitor init 3",
        "monitor step 1",
        "monitor step 1",
        "monitor step 1",
        "monitor done",
        "monitor destroy"};
    EXPECT_EQ(monitorEvents(), expectedMonitor);
    // The template goes with DELETE, and the current layer is active at the end.
    const std::vector<std::string> names = commandNames();
    EXPECT_EQ(std::vector<std::string>(names.end() - 3, names.end()),
              (std::vector<std::string>{"SETLAYER", "DELETE", "SETLAYER"}));
    EXPECT_EQ(layer(1).pointCount(), 10u + 3 * 11);
    EXPECT_TRUE(layer(408).empty());
}

TEST_F(Planting, WeightsSizeBladesAndSkipTheUnweighted)
{
    tenPoints({{1, 0.5f}, {2, HUGE_VALF}, {3, 0.0f}, {4, -2.0f}, {5, NAN}, {6, 1.5f}, {8, 0.1234567f}});
    select({1, 2, 3, 4, 5, 6, 8, 9}); // 9 has no value: weight 0; 2 and 5 are not finite
    ASSERT_EQ(run({set("Mode", "Point"), set("(WeightMap)", "on"), set("Rotation(random)", "360"), ok()}), 0);
    const auto scales = calls("SCALE");
    ASSERT_EQ(scales.size(), 3u);
    const double expected[3] = {0.5, 1.5, double(0.123457f)};
    for (int i = 0; i < 3; ++i)
        for (int axis = 0; axis < 3; ++axis)
            EXPECT_EQ(scales[i]->arguments[0].values[axis], expected[i]) << i;
    // One turn draw per planted point, none for a skipped one.
    const std::vector<double> r = drawsFromOne(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(calls("ROTATE")[i]->arguments[0].values[0], r[i] * 360, 1e-9);
    EXPECT_EQ(calls("MOVE")[1]->arguments[0].values[0], 6.0);
    const std::vector<std::string> monitor = monitorEvents();
    EXPECT_EQ(monitor[1], "monitor init 8");
    EXPECT_EQ(std::count(monitor.begin(), monitor.end(), "monitor step 1"), 3);
}

TEST_F(Planting, CapturedWeightsAreRoundedToSixDecimals)
{
    tenPoints({{0, 0.0000004f}, {1, 0.5f}, {2, 0.1234567f}});
    select({0, 1, 2});
    ASSERT_EQ(run({set("Mode", "Point"), set("(WeightMap)", "on"), ok()}), 0);
    const auto scales = calls("SCALE");
    ASSERT_EQ(scales.size(), 2u); // 0.0000004 becomes 0: no blade
    EXPECT_EQ(scales[0]->arguments[0].values[0], 0.5);
    EXPECT_EQ(scales[1]->arguments[0].values[0], double(0.123457f));
}

TEST_F(Planting, NothingSelectedPlantsNothingButDisposes)
{
    tenPoints({});
    ASSERT_EQ(run({set("Mode", "Point"), ok()}), 0);
    EXPECT_TRUE(calls("MOVE").empty());
    EXPECT_EQ(calls("DELETE").size(), 1u);
    EXPECT_EQ(monitorEvents()[1], "monitor init 0");
    EXPECT_EQ(layer(1).pointCount(), 10u);
}

TEST_F(Planting, GroundIgnoresACapturedSelection)
{
    tenPoints({});
    select({1, 2});
    ASSERT_EQ(run({set("Number", "4"), ok()}), 0);
    EXPECT_EQ(calls("MOVE").size(), 4u);
    for (const host::CommandCall *move : calls("MOVE"))
        EXPECT_EQ(move->arguments[0].values[1], 0.0);
}

class PolygonPlanting : public Planting {
public:
    // A triangle per normal, selected, in polygon selection mode.
    void triangles(const std::vector<host::Vec3> &corners)
    {
        host::Mesh &mesh = object.layer(1)->mesh.flat();
        for (std::size_t i = 0; i + 2 < corners.size(); i += 3) {
            const std::uint32_t v[3] = {mesh.addPoint(corners[i]), mesh.addPoint(corners[i + 1]),
                                        mesh.addPoint(corners[i + 2])};
            mesh.addPolygon(MH_POLY_FACE, 0, v, 3, MH_FLAG_SELECTED);
        }
        object.selectionMode = host::SelectionMode::kPolygons;
    }
};

TEST_F(PolygonPlanting, CentreAndTiltFromTheNormal)
{
    // Facing +Z (counter-clockwise seen from +Z), centre (1, 1, 0).
    triangles({{0, 0, 0}, {3, 0, 0}, {0, 3, 0}});
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    const auto moves = calls("MOVE");
    ASSERT_EQ(moves.size(), 1u);
    EXPECT_DOUBLE_EQ(moves[0]->arguments[0].values[0], 1.0);
    EXPECT_DOUBLE_EQ(moves[0]->arguments[0].values[1], 1.0);
    EXPECT_DOUBLE_EQ(moves[0]->arguments[0].values[2], 0.0);
    const auto turns = calls("ROTATE");
    ASSERT_EQ(turns.size(), 3u);
    EXPECT_EQ(turns[0]->arguments[1].text, "Y");
    EXPECT_EQ(turns[1]->arguments[1].text, "X");
    EXPECT_EQ(turns[1]->arguments[0].values[0], -90.0);
    EXPECT_EQ(turns[2]->arguments[1].text, "Z");
    // The series: normal query, then the blade's twelve commands.
    std::vector<std::string> order;
    for (const std::string &event : modeler.events())
        if (event == "polygon normal")
            order.push_back(event);
    EXPECT_EQ(order.size(), 1u);
}

TEST_F(PolygonPlanting, NormalIsQueriedBeforeEachBladesCommands)
{
    triangles({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {5, 0, 5}, {5, 0, 6}, {6, 0, 5}});
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    // Command index at which each normal query happened.
    std::vector<std::size_t> queries;
    std::size_t commandsSoFar = 0;
    for (const std::string &event : modeler.events()) {
        if (event == "polygon normal")
            queries.push_back(commandsSoFar);
        if (event == "command executed")
            ++commandsSoFar;
    }
    // The first before any blade command (after the template layer was chosen), the second
    // right after the first blade's twelve.
    EXPECT_EQ(queries, (std::vector<std::size_t>{1, 13}));
    const auto names = commandNames();
    const std::vector<std::string> blade = {"SETLAYER", "COPY",   "SETLAYER", "PASTE", "SCALE",    "ROTATE",
                                            "ROTATE",   "ROTATE", "MOVE",     "CUT",   "SETLAYER", "PASTE"};
    EXPECT_EQ(std::vector<std::string>(names.begin() + 1, names.begin() + 13), blade);
    // Facing up: no tilt.
    EXPECT_EQ(calls("ROTATE")[1]->arguments[0].values[0], -0.0);
    EXPECT_EQ(calls("ROTATE")[2]->arguments[0].values[0], -0.0);
}

TEST_F(PolygonPlanting, APolygonWithoutANormalStandsUpright)
{
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    const std::uint32_t v[2] = {mesh.addPoint({2, 0, 0}), mesh.addPoint({4, 0, 0})};
    mesh.addPolygon(MH_POLY_FACE, 0, v, 2, MH_FLAG_SELECTED);
    object.selectionMode = host::SelectionMode::kPolygons;
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    EXPECT_EQ(calls("ROTATE")[1]->arguments[0].values[0], -0.0);
    EXPECT_EQ(calls("ROTATE")[2]->arguments[0].values[0], -0.0);
    EXPECT_EQ(calls("MOVE")[0]->arguments[0].values[0], 3.0);
}

TEST_F(PolygonPlanting, NoPolygonsAfterAnEarlierRunPlantNothing)
{
    triangles({{0, 0, 0}, {0, 0, 1}, {1, 0, 0}});
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    object.layer(1)->mesh.setPolygonFlags(0, 0);
    modeler.clearRecords();
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    EXPECT_TRUE(calls("MOVE").empty());
    EXPECT_EQ(calls("DELETE").size(), 1u);
}

} // namespace
} // namespace tuft::testing
