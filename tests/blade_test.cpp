#include "tests/plugin_fixture.h"

namespace tuft::testing {
namespace {

using Blade = PluginTest;

// Plants one blade at the origin, unturned and unscaled: the template itself.
void plantOne(PluginTest &test, std::vector<UserAction> options)
{
    options.insert(options.begin(), {set("Number", "1"), set("Field", "0")});
    options.push_back(ok());
    test.panels.setScript(options);
    ASSERT_EQ(test.modeler.activate(*test.library), 0);
}

TEST_F(Blade, WorkedExampleDivisionFive)
{
    plantOne(*this, {set("Add_UV", "on"), set("S_NAME", "Grass")});
    const host::LayerMesh &mesh = layer(1);
    ASSERT_EQ(mesh.pointCount(), 11u);
    ASSERT_EQ(mesh.polygonCount(), 5u);
    const double expected[11][3] = {
        {0, 0.6, 0.6},           {0.0152, 0.576, 0.448}, {-0.0152, 0.576, 0.448}, {0.0288, 0.504, 0.312},
        {-0.0288, 0.504, 0.312}, {0.0408, 0.384, 0.192}, {-0.0408, 0.384, 0.192}, {0.0512, 0.216, 0.088},
        {-0.0512, 0.216, 0.088}, {0.06, 0, 0},           {-0.06, 0, 0},
    };
    for (int i = 0; i < 11; ++i) {
        EXPECT_NEAR(mesh.position(i).x, expected[i][0], 1e-12) << i;
        EXPECT_NEAR(mesh.position(i).y, expected[i][1], 1e-12) << i;
        EXPECT_NEAR(mesh.position(i).z, expected[i][2], 1e-12) << i;
    }
    EXPECT_EQ(mesh.position(9).y, 0.0);
    EXPECT_EQ(mesh.position(9).z, 0.0);
    const std::vector<std::vector<std::uint32_t>> polygons = {
        {0, 1, 2}, {1, 3, 4, 2}, {3, 5, 6, 4}, {5, 7, 8, 6}, {7, 9, 10, 8}};
    for (std::size_t p = 0; p < polygons.size(); ++p) {
        const host::Polygon &polygon = mesh.polygon(p);
        EXPECT_EQ(polygon.type, MH_POLY_FACE);
        EXPECT_EQ(object.surfaceName(polygon.surface), "Grass");
        const host::PolygonPoints points = mesh.pointsOf(p);
        const std::vector<std::uint32_t> vertices(points.begin(), points.end());
        EXPECT_EQ(vertices, polygons[p]) << p;
    }
    const long key = object.findMapKey(MH_MAP_UV, "UV_Name");
    ASSERT_GE(key, 0);
    const double expectedUv[11][2] = {{0.5, 0.75},   {0.519, 0.72}, {0.481, 0.72}, {0.536, 0.63},
                                      {0.464, 0.63}, {0.551, 0.48}, {0.449, 0.48}, {0.564, 0.27},
                                      {0.436, 0.27}, {0.575, 0},    {0.425, 0}};
    for (std::uint32_t i = 0; i < 11; ++i) {
        const float *uv = mesh.pointValue(static_cast<std::uint32_t>(key), i);
        ASSERT_NE(uv, nullptr) << i;
        EXPECT_NEAR(uv[0], expectedUv[i][0], 1e-6) << i;
        EXPECT_NEAR(uv[1], expectedUv[i][1], 1e-6) << i;
    }
}

TEST_F(Blade, DivisionOneAndEight)
{
    plantOne(*this, {set("Division", "1")});
    EXPECT_EQ(layer(1).pointCount(), 3u);
    EXPECT_EQ(layer(1).polygonCount(), 1u);
    object.layer(1)->mesh.clear();
    plantOne(*this, {set("Division", "8"), set("Add_UV", "on")});
    const host::LayerMesh &mesh = layer(1);
    EXPECT_EQ(mesh.pointCount(), 17u);
    EXPECT_EQ(mesh.polygonCount(), 8u);
    const host::Polygon &last = mesh.polygon(mesh.polygonCount() - 1);
    EXPECT_EQ(mesh.cornerPoint(last.firstVertex), 13u); // R_7
}

TEST_F(Blade, OneSliderMovesOneCoordinateOfTheCurve)
{
    plantOne(*this, {});
    const host::LayerMesh initial = layer(1);
    object.layer(1)->mesh.clear();
    // P3(z) owns the tip's lean alone: the blade's x and y stay, only z changes.
    plantOne(*this, {set("#16", "20")});
    const host::LayerMesh &leaned = layer(1);
    bool zChanged = false;
    for (std::size_t i = 0; i < initial.pointCount(); ++i) {
        EXPECT_EQ(leaned.position(i).x, initial.position(i).x) << i;
        EXPECT_EQ(leaned.position(i).y, initial.position(i).y) << i;
        zChanged |= leaned.position(i).z != initial.position(i).z;
    }
    EXPECT_TRUE(zChanged);
}

TEST_F(Blade, DivisionOneTakesUvPairsZeroOneAndThree)
{
    plantOne(*this, {set("Division", "1"), set("Add_UV", "on")});
    const long key = object.findMapKey(MH_MAP_UV, "UV_Name");
    ASSERT_GE(key, 0);
    const float expected[3][2] = {{0.5f, 0.75f}, {0.575f, 0.0f}, {0.425f, 0.0f}};
    for (std::uint32_t i = 0; i < 3; ++i) {
        const float *uv = layer(1).pointValue(static_cast<std::uint32_t>(key), i);
        ASSERT_NE(uv, nullptr);
        EXPECT_NEAR(uv[0], expected[i][0], 1e-6) << i;
        EXPECT_NEAR(uv[1], expected[i][1], 1e-6) << i;
    }
}

TEST_F(Blade, ReloadingTheLibraryStartsFromTheInitialShape)
{
    plantOne(*this, {set("Division", "2"), set("P1(x)", "70"), set("Add_UV", "on"), set("U_NAME", "Mine")});
    library = std::make_unique<host::PluginLibrary>(TUFT_PLUGIN_PATH); // the same load: nothing resets
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("Division")->integer, 2);
    library.reset();
    library = std::make_unique<host::PluginLibrary>(TUFT_PLUGIN_PATH);
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("Division")->integer, 5);
    EXPECT_DOUBLE_EQ(opened.find("P1(x)")->number, 15.5);
    EXPECT_EQ(opened.find("U_NAME")->text, "UV_Name");
}

TEST_F(Blade, AddUvOffSetsNoValueButKeepsTheName)
{
    plantOne(*this, {set("Add_UV", "on"), set("U_NAME", "Kept"), set("Add_UV", "off")});
    EXPECT_LT(object.findMapKey(MH_MAP_UV, "Kept"), 0);
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("U_NAME")->text, "Kept");
}

TEST_F(Blade, SizeScalesGeometryOnly)
{
    plantOne(*this, {set("Size", "0.8")});
    EXPECT_NEAR(layer(1).position(0).y, 1.2, 1e-12);
    EXPECT_NEAR(layer(1).position(9).x, 0.12, 1e-12);
    object.layer(1)->mesh.clear();
    plantOne(*this, {set("Size", "0")});
    EXPECT_EQ(layer(1).polygonCount(), 5u);
    for (std::size_t i = 0; i < layer(1).pointCount(); ++i) {
        const host::Vec3 &p = layer(1).position(i);
        EXPECT_EQ(std::abs(p.x) + std::abs(p.y) + std::abs(p.z), 0.0);
    }
}

TEST_F(Blade, DivisionsSixAndSevenLeaveTheBaseAHairOff)
{
    for (int division : {6, 7}) {
        object.layer(1)->mesh.clear();
        plantOne(*this, {set("Division", std::to_string(division)), set("Size", "1")});
        const host::Vec3 &base = layer(1).position(layer(1).pointCount() - 1);
        EXPECT_GT(base.y, 1e-16) << division;
        EXPECT_LT(base.y, 7e-16) << division;
    }
}

} // namespace
} // namespace tuft::testing
