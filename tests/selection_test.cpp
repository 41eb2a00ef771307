// The selection the command line asks for: --select points:WHICH or polygons:WHICH.
#include "app/plant_job.h"
#include "app/selection.h"
#include "tests/sample_object.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

std::vector<int> flagsOf(const host::LayerMesh &mesh)
{
    std::vector<int> flags;
    for (std::size_t i = 0; i < mesh.pointCount(); ++i)
        flags.push_back(mesh.pointFlags(i));
    return flags;
}

TEST(Selection, SpecsSelectWhatTheyName)
{
    host::Object object = testing::sampleObject();
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    app::applySelection(object, 1, "points:0,2-3");
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPoints);
    EXPECT_EQ(flagsOf(mesh), (std::vector<int>{1, 0, 1, 1, 0}));
    app::applySelection(object, 1, "polygons:group:Blade");
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPolygons);
    EXPECT_EQ(mesh.polygon(0).flags, 0);
    EXPECT_EQ(mesh.polygon(1).flags, 1);
    app::applySelection(object, 1, "points:group:Blade");
    EXPECT_EQ(flagsOf(mesh), (std::vector<int>{1, 1, 0, 0, 1}));
    app::applySelection(object, 1, "polygons:all");
    EXPECT_EQ(mesh.polygon(0).flags, 1);
}

TEST(Selection, BadSpecsSayWhatIsWrong)
{
    host::Object object = testing::sampleObject();
    const auto message = [&](const std::string &request) {
        try {
            app::applySelection(object, 1, request);
        } catch (const app::UsageError &error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_NE(message("points:7").find("point 7 does not exist (the layer has 5)"), std::string::npos);
    EXPECT_NE(message("points:3-1").find("runs backwards"), std::string::npos);
    EXPECT_NE(message("points:x").find("\"x\" is not an index"), std::string::npos);
    EXPECT_NE(message("edges:all").find("points:WHICH or polygons:WHICH"), std::string::npos);
    EXPECT_NE(message("polygons:group:Sky").find("no polygon belongs to the group \"Sky\""), std::string::npos);
}

} // namespace
} // namespace tuft
