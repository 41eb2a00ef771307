// Pictures of the object: a lawn seen from above is green over its field and nothing
// but the background around it; the same object and options give the same picture; the
// camera frames any box whole, in the middle of the picture, filling it.
#include "app/blade_colours.h"
#include "meshio/meshio.h"
#include "tests/scratch_directory.h"
#include "view/picture.h"
#include "view/renderer.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace tuft {
namespace {

class Pictures : public ::testing::Test {
public:
    // A lawn planted by the program over a field of side 2.
    host::Object lawn(int number)
    {
        const std::string path = scratch / "lawn.obj";
        const std::string command = std::string(TUFTSPROUT_PROGRAM) + " plant -o " + path + " --number " +
                                    std::to_string(number) + " --field 2 --rotation 360 --clock 4 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        host::Object object;
        meshio::readMesh(path, object, 1);
        return object;
    }

    // A picture of that size seen from that camera.
    static view::PictureOptions picture(int width, int height, const char *camera)
    {
        view::PictureOptions options;
        options.width = width;
        options.height = height;
        options.camera = view::parseCamera(camera);
        return options;
    }

    testing::ScratchDirectory scratch{"pictures"};
};

struct Pixel {
    int r, g, b;
};

Pixel at(const std::vector<std::uint8_t> &rgb, int width, int x, int y)
{
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

// Where a point of the ground lands in the picture, from the camera's own matrices.
void project(const view::View &v, double x, double y, double z, int width, int height, double &px, double &py)
{
    double clip[4], e[4];
    for (int row = 0; row < 4; ++row)
        e[row] = v.modelView[row] * x + v.modelView[4 + row] * y + v.modelView[8 + row] * z + v.modelView[12 + row];
    for (int row = 0; row < 4; ++row)
        clip[row] = v.projection[row] * e[0] + v.projection[4 + row] * e[1] + v.projection[8 + row] * e[2] +
                    v.projection[12 + row] * e[3];
    px = (clip[0] / clip[3] + 1) / 2 * width;
    py = (1 - clip[1] / clip[3]) / 2 * height;
}

// Flat, tall, long and off-centre boxes, from the default view, from either side, from
// below and from the top, in wide and tall pictures.
TEST(Camera, FramesEveryCornerOfTheBoundsCentredAndFillingThePicture)
{
    struct Box {
        float low[3], high[3];
    };
    const Box boxes[] = {{{0, 0, 0}, {2, 0.3f, 2}},
                         {{-0.1f, 0, -0.1f}, {0.1f, 5, 0.1f}},
                         {{-50, -1, 3}, {50, 1, 4}},
                         {{100, 20, -300}, {101, 21, -299}}};
    const char *cameras[] = {"35,30", "-120,10", "200,-40", "0,89", "top"};
    for (const Box &box : boxes)
        for (const char *text : cameras)
            for (const double aspect : {1.5, 0.6}) {
                SCOPED_TRACE(std::string(text) + " aspect " + std::to_string(aspect));
                const view::View v = view::frame(view::parseCamera(text), box.low, box.high, aspect);
                const int width = 1000, height = static_cast<int>(1000 / aspect);
                double lowX = 1e300, highX = -1e300, lowY = 1e300, highY = -1e300;
                for (int corner = 0; corner < 8; ++corner) {
                    double px = 0, py = 0;
                    project(v, corner & 1 ? box.high[0] : box.low[0], corner & 2 ? box.high[1] : box.low[1],
                            corner & 4 ? box.high[2] : box.low[2], width, height, px, py);
                    lowX = std::min(lowX, px), highX = std::max(highX, px);
                    lowY = std::min(lowY, py), highY = std::max(highY, py);
                }
                EXPECT_GE(lowX, 0);
                EXPECT_LE(highX, width);
                EXPECT_GE(lowY, 0);
                EXPECT_LE(highY, height);
                EXPECT_NEAR((lowX + highX) / 2, width / 2.0, width * 0.01);
                EXPECT_NEAR((lowY + highY) / 2, height / 2.0, height * 0.01);
                EXPECT_GT(std::max((highX - lowX) / width, (highY - lowY) / height), 0.85);
            }
}

TEST_F(Pictures, ALawnFromAboveIsGreenOverItsFieldAndBackgroundAround)
{
    const host::Object object = lawn(6000);
    view::PictureOptions options = picture(300, 200, "top");
    options.plantedSurfaces = {"Default"}; // the surface OBJ gives polygons without a material
    const auto layers = meshio::chosenLayers(object, meshio::LayerChoice::kCurrent);
    const std::vector<std::uint8_t> rgb = view::renderPicture(object, layers, options);
    const view::Scene scene = view::sceneOf(object, layers, options.plantedSurfaces);
    const view::View camera = view::frame(options.camera, scene.low, scene.high, 1.5);
    // Green well inside the field; beyond the reach of a blade from its edge (a blade of
    // size 0.4 leans up to 0.6 from its base), nothing but the background.
    double left, top, right, bottom, outerLeft, outerTop, outerRight, outerBottom;
    // (the outer edge at the blades' tops, which perspective spreads furthest).
    project(camera, 0.2, 0, 0.2, options.width, options.height, left, top);
    project(camera, 1.8, 0, 1.8, options.width, options.height, right, bottom);
    project(camera, -0.65, scene.high[1], -0.65, options.width, options.height, outerLeft, outerTop);
    project(camera, 2.65, scene.high[1], 2.65, options.width, options.height, outerRight, outerBottom);
    ASSERT_LT(left + 20, right);
    ASSERT_LT(top + 20, bottom);
    int green = 0, inside = 0, background = 0, outside = 0;
    const std::uint8_t sky[3] = {static_cast<std::uint8_t>(view::kBackground[0] * 255 + 0.5f),
                                 static_cast<std::uint8_t>(view::kBackground[1] * 255 + 0.5f),
                                 static_cast<std::uint8_t>(view::kBackground[2] * 255 + 0.5f)};
    for (int y = 0; y < options.height; ++y)
        for (int x = 0; x < options.width; ++x) {
            const Pixel p = at(rgb, options.width, x, y);
            if (x > left && x < right && y > top && y < bottom) {
                ++inside;
                green += p.g > p.r + 20 && p.g > p.b + 20;
            } else if (x < outerLeft || x > outerRight || y < outerTop || y > outerBottom) {
                ++outside;
                background += std::abs(p.r - sky[0]) <= 1 && std::abs(p.g - sky[1]) <= 1 && std::abs(p.b - sky[2]) <= 1;
            }
        }
    ASSERT_GT(inside, 1000);
    ASSERT_GT(outside, 1000);
    EXPECT_GT(green, inside * 95 / 100) << green << " of " << inside;
    EXPECT_EQ(background, outside);
}

TEST_F(Pictures, BladesColouredOneByOneShowTheirColours)
{
    constexpr std::size_t kBlades = 3000;
    const host::Object object = lawn(kBlades);
    view::PictureOptions options = picture(300, 200, "top");
    const auto layers = meshio::chosenLayers(object, meshio::LayerChoice::kCurrent);
    const std::vector<std::uint8_t> plain = view::renderPicture(object, layers, options);
    app::ColourOptions colours = app::parseColourPair("#2040ff,#ff3020");
    colours.jitter = 1; // blue and red blades side by side
    const host::Layer &layer = *object.findLayer(1);
    options.colours = {app::colourBlades(layer, {{0, layer.mesh.pointCount() / kBlades, kBlades}}, colours, 4)};
    const std::vector<std::uint8_t> drawn = view::renderPicture(object, layers, options);
    ASSERT_EQ(drawn.size(), plain.size());
    int blue = 0, red = 0, changed = 0;
    for (std::size_t i = 0; i < drawn.size(); i += 3) {
        blue += drawn[i + 2] > drawn[i] + 60 && drawn[i + 2] > drawn[i + 1] + 60;
        red += drawn[i] > drawn[i + 2] + 60 && drawn[i] > drawn[i + 1] + 60;
        changed += std::abs(int(drawn[i]) - plain[i]) + std::abs(int(drawn[i + 2]) - plain[i + 2]) > 40;
    }
    EXPECT_GT(blue, 2000);
    EXPECT_GT(red, 2000);
    EXPECT_GT(changed, 8000);
}

TEST_F(Pictures, TheSameObjectAndOptionsGiveTheSamePicture)
{
    const host::Object object = lawn(500);
    view::PictureOptions options = picture(160, 120, "20,25");
    const auto layers = meshio::chosenLayers(object, meshio::LayerChoice::kCurrent);
    const std::vector<std::uint8_t> first = view::renderPicture(object, layers, options);
    EXPECT_EQ(view::renderPicture(object, layers, options), first);
    options.camera = view::parseCamera("200,25");
    EXPECT_NE(view::renderPicture(object, layers, options), first);
    EXPECT_THROW(view::parseCamera("10"), std::invalid_argument);
    EXPECT_THROW(view::parseCamera("10,95"), std::invalid_argument);
    EXPECT_THROW(view::parseCamera("a,b"), std::invalid_argument);
}

} // namespace
} // namespace tuft
