#include "tests/plugin_fixture.h"

#include <algorithm>

namespace tuft::testing {
namespace {

using Panel = PluginTest;

TEST_F(Panel, OpensWithTheControlsInOrderAndTheirInitialValues)
{
    ASSERT_EQ(run({cancel()}), 0);
    const std::vector<std::string> labels = {"",
                                             "Mode",
                                             "BGLayer Object",
                                             "Number",
                                             "Division",
                                             "Size",
                                             "Field",
                                             "Roughness(random)",
                                             "(WeightMap)",
                                             "Ratio fixation",
                                             "Rotation(random)",
                                             "P1(x)",
                                             "P2(x)",
                                             "",
                                             "",
                                             "P3(y)",
                                             "",
                                             "Add_UV",
                                             "U_NAME",
                                             "S_NAME",
                                             "Save",
                                             "Load"};
    ASSERT_EQ(opened.controls.size(), labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i)
        EXPECT_EQ(opened.controls[i].label, labels[i]) << i;
    EXPECT_EQ(opened.title, "ZEL_Tuftsprout");
    EXPECT_EQ(opened.find("Mode")->integer, 0);
    EXPECT_EQ(opened.find("Number")->integer, 100);
    EXPECT_EQ(opened.find("Division")->integer, 5);
    EXPECT_EQ(opened.find("Size")->number, 0.4);
    EXPECT_EQ(opened.find("Field")->number, 1.0);
    EXPECT_EQ(opened.find("U_NAME")->text, "UV_Name");
    EXPECT_EQ(opened.find("S_NAME")->text, "");
    const double sliders[] = {15.5, 10.5, 75.5, 25.5, 75.5, 75.5};
    const int sliderAt[] = {11, 12, 13, 14, 15, 16};
    for (int s = 0; s < 6; ++s)
        EXPECT_DOUBLE_EQ(opened.controls[sliderAt[s]].number, sliders[s]) << s;
    for (const toolkit::ControlView &control : opened.controls) {
        const bool ghosted = control.label == "U_NAME" || control.label == "(WeightMap)";
        EXPECT_EQ(control.drawMode, ghosted ? MH_DRAW_GHOSTED : MH_DRAW_NORMAL) << control.label;
    }
}

TEST_F(Panel, PlacementsLineUpAsDeclared)
{
    ASSERT_EQ(run({cancel()}), 0);
    const auto &c = opened.controls;
    const auto right = [](const toolkit::ControlView &v) { return v.x + v.width; };
    EXPECT_EQ(right(*opened.find("Number")), 200);
    EXPECT_EQ(right(*opened.find("Size")), 200);
    EXPECT_EQ(right(*opened.find("Field")), 200);
    for (const char *label : {"Division", "Roughness(random)", "Rotation(random)", "P1(x)", "P2(x)", "P3(y)"})
        EXPECT_EQ(right(*opened.find(label)), 219) << label;
    EXPECT_EQ(opened.find("BGLayer Object")->x, opened.find("Mode")->x + 200);
    EXPECT_EQ(opened.find("BGLayer Object")->y, opened.find("Mode")->y);
    EXPECT_EQ(opened.find("Ratio fixation")->x, opened.find("(WeightMap)")->x + 100);
    EXPECT_EQ(opened.find("Save")->y, opened.find("Number")->y);
    EXPECT_EQ(opened.find("Load")->y, opened.find("Division")->y);
    EXPECT_EQ(c[13].y, c[12].y);
    EXPECT_EQ(c[13].x, 2 * c[12].x + 15);
    EXPECT_EQ(c[14].x, 3 * c[12].x + 3);
    EXPECT_EQ(c[16].x, 2 * c[15].x + 15);
    EXPECT_EQ(opened.find("S_NAME")->x, opened.find("U_NAME")->x);
}

TEST_F(Panel, CallbacksOnExactlyTheDocumentedControls)
{
    ASSERT_EQ(run({cancel()}), 0);
    const std::vector<int> withCallback = {0, 1, 2, 4, 8, 11, 12, 13, 14, 15, 16, 17, 20, 21};
    for (std::size_t i = 0; i < opened.controls.size(); ++i) {
        const bool expected = std::find(withCallback.begin(), withCallback.end(), int(i)) != withCallback.end();
        EXPECT_EQ(opened.controls[i].hasCallback, expected) << i;
    }
}

TEST_F(Panel, SecondUseKeepsDivisionCurveAndUvNameButNothingElse)
{
    ASSERT_EQ(run({set("Division", "3"), set("P1(x)", "40"), set("Number", "7"), set("Add_UV", "on"),
                   set("U_NAME", "Blades"), set("Number", "0"), ok()}),
              0);
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("Division")->integer, 3);
    EXPECT_DOUBLE_EQ(opened.find("P1(x)")->number, 40.0);
    EXPECT_EQ(opened.find("Number")->integer, 100);
    EXPECT_EQ(opened.find("U_NAME")->text, "Blades");
    EXPECT_EQ(opened.find("Add_UV")->integer, 0);
}

TEST_F(Panel, CancelKeepsThePreviousUvName)
{
    ASSERT_EQ(run({set("U_NAME", "Lost"), cancel()}), 0);
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("U_NAME")->text, "UV_Name");
}

TEST_F(Panel, GhostedControlsRefuseTheUser)
{
    ASSERT_EQ(run({set("U_NAME", "x"), ok()}), 0);
    EXPECT_EQ(run({set("Add_UV", "on"), set("U_NAME", "x"), set("BGLayer Object", "on"), set("Size", "2"), ok()}), 0);
    EXPECT_NE(panels.scriptError().find("\"Size\" is disabled"), std::string::npos) << panels.scriptError();
    EXPECT_EQ(panels.lastOpenResult(), 0);
}

} // namespace
} // namespace tuft::testing
