// What the window offers to plant on, how it opens, and where its panel goes.
#include "app/panel_options.h"
#include "app/window_choices.h"
#include "tests/sample_object.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

using app::PlantingTarget;
using app::ScreenRect;

std::vector<std::string> labelsOf(const std::vector<PlantingTarget> &targets)
{
    std::vector<std::string> labels;
    for (const PlantingTarget &target : targets)
        labels.push_back(target.label);
    return labels;
}

TEST(WindowChoices, TargetsFollowWhatTheLayerHolds)
{
    host::Object object = testing::sampleObject();
    const std::vector<PlantingTarget> targets = app::plantingTargets(object, 1);
    EXPECT_EQ(labelsOf(targets), (std::vector<std::string>{"A square field (Ground)", "Every polygon", "Every point",
                                                           "The polygons of Ground", "The polygons of Blade",
                                                           "Points scattered by density..."}));
    EXPECT_EQ(targets[4].selection, "polygons:group:Blade");
    EXPECT_TRUE(targets.back().scatter);
    EXPECT_EQ(targets[app::firstTarget(targets)].selection, "polygons:all");
    EXPECT_EQ(app::targetSelected(targets, "polygons:group:Blade"), 4);
    EXPECT_EQ(app::targetSelected(targets, "points:0-2"), -1) << "a selection no target makes";
    EXPECT_EQ(app::targetSelected(targets, ""), -1);

    // A surface no polygon of the layer uses is not offered.
    object.surfaceIndex("Unused");
    EXPECT_EQ(app::plantingTargets(object, 1).size(), targets.size());

    // Points alone: Point mode on every point; nothing: the field.
    host::Object cloud;
    cloud.layer(1)->mesh.addPoint({0, 0, 0});
    const std::vector<PlantingTarget> points = app::plantingTargets(cloud, 1);
    EXPECT_EQ(labelsOf(points), (std::vector<std::string>{"A square field (Ground)", "Every point"}));
    EXPECT_EQ(points[app::firstTarget(points)].mode, "point");
    host::Object empty;
    EXPECT_EQ(app::firstTarget(app::plantingTargets(empty, 1)), 0u);
}

TEST(WindowChoices, TheWindowPicksOnlyWhatTheCommandLineLeftOpen)
{
    app::PlantJob job;
    EXPECT_FALSE(app::windowPicksTarget(job)) << "no input: the field, as before";
    job.inputs = {"hill.obj"};
    job.actions = {{toolkit::UserAction::Type::kSet, "Number", "50"}};
    EXPECT_TRUE(app::windowPicksTarget(job));

    app::PlantJob mode = job;
    mode.actions.push_back({toolkit::UserAction::Type::kSet, "Mode", app::modeItem("ground")});
    EXPECT_FALSE(app::windowPicksTarget(mode));
    app::PlantJob preset = job;
    preset.actions.push_back({toolkit::UserAction::Type::kPress, "Load", ""});
    EXPECT_FALSE(app::windowPicksTarget(preset));
    app::PlantJob selected = job;
    selected.selection = "points:all";
    EXPECT_FALSE(app::windowPicksTarget(selected));
    app::PlantJob scattered = job;
    scattered.scatter = scatter::ScatterOptions{};
    EXPECT_FALSE(app::windowPicksTarget(scattered));
}

TEST(WindowChoices, ThePanelGoesBesideTheWindow)
{
    const ScreenRect screen{0, 0, 1920, 1080};
    // Room enough: to the right, tops level, the window as it was.
    app::SideBySide placed = app::placeBeside(screen, {100, 50, 960, 680}, 520, 700, 640);
    EXPECT_EQ(placed.window.x, 100);
    EXPECT_EQ(placed.window.w, 960);
    EXPECT_EQ(placed.panelX, 100 + 960 + 8);
    EXPECT_EQ(placed.panelY, 50);

    // Not enough: the window moves left first, then narrows.
    placed = app::placeBeside(screen, {600, 0, 960, 680}, 520, 700, 640);
    EXPECT_EQ(placed.window.x, 600 - 168);
    EXPECT_EQ(placed.window.w, 960);
    EXPECT_EQ(placed.panelX + 520, 1920);
    const ScreenRect small{0, 0, 1280, 900};
    placed = app::placeBeside(small, {0, 0, 960, 680}, 520, 700, 640);
    EXPECT_EQ(placed.window.x, 0);
    EXPECT_EQ(placed.window.w, 1280 - 520 - 8);
    EXPECT_EQ(placed.panelX, 1280 - 520);
    EXPECT_GE(placed.panelX, placed.window.x + placed.window.w);

    // Never narrower than asked; then the panel overlaps, but stays on the screen.
    placed = app::placeBeside({0, 0, 1024, 768}, {0, 0, 960, 680}, 520, 800, 640);
    EXPECT_EQ(placed.window.w, 640);
    EXPECT_EQ(placed.panelX, 1024 - 520);
    EXPECT_EQ(placed.panelY, 0);

    // A work area that does not start at 0 (a panel bar on the left or top).
    placed = app::placeBeside({60, 30, 1860, 1050}, {60, 30, 960, 680}, 520, 700, 640);
    EXPECT_EQ(placed.panelX, 60 + 960 + 8);
    EXPECT_EQ(placed.panelY, 30);
}

} // namespace
} // namespace tuft
