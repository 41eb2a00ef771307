#include "tests/plugin_fixture.h"

namespace tuft::testing {
namespace {

class Events : public PluginTest {
public:
    int drawOf(const std::string &label) const { return closing.find(label)->drawMode; }
};

TEST_F(Events, PointWithoutAPointSelectionIsRefused)
{
    object.selectionMode = host::SelectionMode::kPolygons;
    ASSERT_EQ(run({set("Mode", "Point"), ok()}), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"It can't be carried out. | Please, the Point select"}));
    EXPECT_EQ(closing.find("Mode")->integer, 0);
    EXPECT_EQ(drawOf("Number"), MH_DRAW_NORMAL);
    EXPECT_EQ(drawOf("Field"), MH_DRAW_NORMAL);
    EXPECT_EQ(drawOf("Roughness(random)"), MH_DRAW_NORMAL);
    EXPECT_EQ(drawOf("(WeightMap)"), MH_DRAW_GHOSTED);
}

TEST_F(Events, PolygonWithoutAPolygonSelectionIsRefused)
{
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"It can't be carried out. | Please, the Polygon select"}));
    EXPECT_EQ(closing.find("Mode")->integer, 0);
}

TEST_F(Events, PointWithPointsGhostsTheGroundOptions)
{
    ASSERT_EQ(run({set("Mode", "Point"), ok()}), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(drawOf("Number"), MH_DRAW_GHOSTED);
    EXPECT_EQ(drawOf("Field"), MH_DRAW_GHOSTED);
    EXPECT_EQ(drawOf("(WeightMap)"), MH_DRAW_NORMAL);
    EXPECT_EQ(drawOf("Roughness(random)"), MH_DRAW_NORMAL);
    // Back to Ground: the weight map option is ghosted again, its value kept.
    ASSERT_EQ(run({set("Mode", "Point"), set("Mode", "Ground"), ok()}), 0);
    EXPECT_EQ(drawOf("Number"), MH_DRAW_NORMAL);
    EXPECT_EQ(drawOf("(WeightMap)"), MH_DRAW_GHOSTED);
}

TEST_F(Events, PolygonKeepsTheRoughnessDrawing)
{
    object.selectionMode = host::SelectionMode::kPolygons;
    ASSERT_EQ(run({set("Mode", "Polygon"), ok()}), 0);
    EXPECT_EQ(drawOf("Number"), MH_DRAW_GHOSTED);
    EXPECT_EQ(drawOf("(WeightMap)"), MH_DRAW_GHOSTED);
    EXPECT_EQ(closing.find("Roughness(random)")->draws.size(), 0u);
}

TEST_F(Events, WeightMapNeedsAMapNamedZtsw)
{
    ASSERT_EQ(run({set("Mode", "Point"), set("(WeightMap)", "on"), ok()}), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"ERORR | Add VMAP of the name of 'ZTSW'"}));
    EXPECT_EQ(closing.find("(WeightMap)")->integer, 0);
    EXPECT_EQ(drawOf("Roughness(random)"), MH_DRAW_NORMAL);
}

TEST_F(Events, WeightMapCheckFindsZtswAmongOthers)
{
    object.mapKey(MH_MAP_WEIGHT, "Other", 1);
    object.mapKey(MH_MAP_UV, "ZTSW", 2); // a UV map of that name does not count
    object.mapKey(MH_MAP_WEIGHT, "ZTSWx", 1);
    ASSERT_EQ(run({set("Mode", "Point"), set("(WeightMap)", "on"), ok()}), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(closing.find("(WeightMap)")->integer, 1);
    EXPECT_EQ(drawOf("Roughness(random)"), MH_DRAW_GHOSTED);
}

TEST_F(Events, BackgroundLayerGhostsTheElevenBladeControlsInOrder)
{
    ASSERT_EQ(run({set("BGLayer Object", "on"), ok()}), 0);
    const std::vector<int> blade = {4, 5, 11, 12, 13, 14, 15, 16, 17, 18, 19};
    for (int i : blade)
        EXPECT_EQ(closing.controls[i].drawMode, MH_DRAW_GHOSTED) << i;
    ASSERT_EQ(run({set("BGLayer Object", "on"), set("BGLayer Object", "off"), ok()}), 0);
    for (int i : blade)
        EXPECT_EQ(closing.controls[i].drawMode, MH_DRAW_NORMAL) << i; // U_NAME too, Add_UV off
}

TEST_F(Events, AddUvEnablesTheMapName)
{
    ASSERT_EQ(run({set("Add_UV", "on"), ok()}), 0);
    EXPECT_EQ(drawOf("U_NAME"), MH_DRAW_NORMAL);
    ASSERT_EQ(run({set("Add_UV", "on"), set("Add_UV", "off"), ok()}), 0);
    EXPECT_EQ(drawOf("U_NAME"), MH_DRAW_GHOSTED);
}

TEST_F(Events, DivisionAndSlidersRedrawThePreview)
{
    const int before = panels.previewDraws();
    ASSERT_EQ(run({set("Division", "3"), set("P2(x)", "20"), cancel()}), 0);
    // Once on opening, once per change.
    EXPECT_EQ(panels.previewDraws() - before, 3);
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("Division")->integer, 3);
}

} // namespace
} // namespace tuft::testing
