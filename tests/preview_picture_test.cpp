// The preview as it really renders, in an offscreen OpenGL context.
#include "tests/plugin_fixture.h"
#include "toolkit/offscreen_gl.h"

#include <algorithm>

namespace tuft::testing {
namespace {

constexpr int kWidth = 500, kHeight = 250;

struct Rgb {
    int r, g, b;
};

class PreviewPicture : public PluginTest {
public:
    PreviewPicture()
    {
        panels.setDrawRunner([this](const std::function<void()> &draw) { gl.run(draw); });
        panels.onClosing = [this](const toolkit::PanelView &) { picture = gl.pixels(); };
    }

    std::vector<std::uint8_t> render(std::vector<UserAction> actions)
    {
        actions.push_back(cancel());
        EXPECT_EQ(run(actions), 0);
        return picture;
    }

    // Whether a pixel around a view coordinate (-1..1) of the left (0) or right (1) view
    // passes the test: lines are one pixel wide and may fall beside the exact spot.
    template <typename Test>
    static bool near(const std::vector<std::uint8_t> &image, int view, double x, double y, Test test)
    {
        const int px = static_cast<int>(view * 250 + (x + 1) / 2 * 250);
        const int py = static_cast<int>(kHeight - (y + 1) / 2 * 250);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int cx = std::clamp(px + dx, 0, kWidth - 1), cy = std::clamp(py + dy, 0, kHeight - 1);
                const std::uint8_t *p = &image[(static_cast<std::size_t>(cy) * kWidth + cx) * 3];
                if (test(Rgb{p[0], p[1], p[2]}))
                    return true;
            }
        return false;
    }
    static bool isGreen(Rgb c) { return c.g > 200 && c.r < 60 && c.b < 60; }
    static bool isGrey(Rgb c) { return c.r > 100 && c.r < 160 && c.g == c.r && c.b == c.r; }
    static bool isBlack(Rgb c) { return c.r + c.g + c.b == 0; }

    toolkit::OffscreenGl gl{kWidth, kHeight};
    std::vector<std::uint8_t> picture;
};

TEST_F(PreviewPicture, CurveAndControlPolygonAppearWhereTheyBelong)
{
    ASSERT_TRUE(gl.ok()) << gl.error();
    const std::vector<std::uint8_t> image = render({});
    // Front view samples of the initial curve, Division 5: (x, y) at t = 0, 0.2, ... 1.
    const double front[6][2] = {{0, 0.5}, {0.038, 0.44}, {0.072, 0.26}, {0.102, -0.04}, {0.128, -0.46}, {0.15, -1}};
    for (const auto &s : front) {
        EXPECT_TRUE(near(image, 1, 0.9 * s[0], 0.9 * s[1], isGreen)) << s[0] << " " << s[1];
        EXPECT_TRUE(near(image, 1, -0.9 * s[0], 0.9 * s[1], isGreen)) << "mirrored " << s[0];
    }
    // Side view samples (z, y).
    for (const auto &s : {std::pair{0.5, 0.5}, std::pair{-0.22, 0.26}, std::pair{-0.78, -0.46}})
        EXPECT_TRUE(near(image, 0, 0.9 * s.first, 0.9 * s.second, isGreen)) << s.first;
    // The grey control polygon halfway from P1 to P2 in the side view.
    EXPECT_TRUE(near(image, 0, -0.675, -0.225, isGrey));
    // Nothing is mirrored in the side view.
    EXPECT_FALSE(near(image, 0, 0.9 * 0.22, 0.9 * 0.26, [](Rgb c) { return !isBlack(c); }));
}

TEST_F(PreviewPicture, MovingASliderChangesThePicture)
{
    ASSERT_TRUE(gl.ok()) << gl.error();
    const std::vector<std::uint8_t> before = render({});
    const std::vector<std::uint8_t> after = render({set("P1(x)", "60")});
    EXPECT_NE(before, after);
    // The base now lies at x = 0.595 in the front view.
    EXPECT_TRUE(near(after, 1, 0.9 * 0.595, -0.9, isGreen));
    EXPECT_FALSE(near(before, 1, 0.9 * 0.595, -0.9, isGreen));
}

} // namespace
} // namespace tuft::testing
