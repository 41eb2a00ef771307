// The preview's drawing, recorded by standing in for the eight OpenGL calls it makes.
#include "plugin/blade/preview.h"

#include <GL/gl.h>

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

namespace {

struct Primitive {
    GLenum mode;
    double colour[3];
    std::vector<std::pair<double, double>> vertices;
    int viewportX;
};

std::vector<Primitive> g_primitives;
double g_colour[3];
int g_viewportX;
int g_clears, g_flushes;

} // namespace

extern "C" {
void glClear(GLbitfield mask)
{
    EXPECT_EQ(mask, 0x4100u);
    ++g_clears;
}
void glColor3d(GLdouble r, GLdouble g, GLdouble b)
{
    g_colour[0] = r;
    g_colour[1] = g;
    g_colour[2] = b;
}
void glPointSize(GLfloat size) { EXPECT_EQ(size, 2.0f); }
void glViewport(GLint x, GLint y, GLsizei w, GLsizei h)
{
    EXPECT_EQ(y, 0);
    EXPECT_EQ(w, 250);
    EXPECT_EQ(h, 250);
    g_viewportX = x;
}
void glBegin(GLenum mode) { g_primitives.push_back({mode, {g_colour[0], g_colour[1], g_colour[2]}, {}, g_viewportX}); }
void glVertex2d(GLdouble x, GLdouble y) { g_primitives.back().vertices.emplace_back(x, y); }
void glEnd() {}
void glFlush() { ++g_flushes; }
}

namespace tuft {
namespace {

BladeShape g_shape = initialBladeShape();

std::vector<Primitive> draw(int division)
{
    g_shape = initialBladeShape();
    storeDivision(g_shape, division);
    g_primitives.clear();
    drawPreview(g_shape);
    return g_primitives;
}

bool green(const Primitive &p) { return p.colour[0] == 0 && p.colour[1] == 1 && p.colour[2] == 0; }

TEST(PreviewCalls, StripsAndDotsPerDivision)
{
    struct Expected {
        int division, strip, sideDots, frontDots;
    };
    for (const Expected &e : {Expected{1, 2, 1, 2}, Expected{5, 6, 5, 6}, Expected{8, 9, 8, 9}}) {
        const std::vector<Primitive> p = draw(e.division);
        // Side view: grey strip, grey dots, green strip, green dots. Front view: the same,
        // then the mirrored green strip.
        ASSERT_EQ(p.size(), 9u) << e.division;
        EXPECT_EQ(p[2].vertices.size(), size_t(e.strip));
        EXPECT_EQ(p[3].vertices.size(), size_t(e.sideDots));
        EXPECT_EQ(p[6].vertices.size(), size_t(e.strip));
        EXPECT_EQ(p[7].vertices.size(), size_t(e.frontDots));
        EXPECT_EQ(p[8].vertices.size(), size_t(e.strip));
        EXPECT_EQ(p[8].mode, GLenum(GL_LINE_STRIP));
        for (int i : {2, 3, 6, 7, 8})
            EXPECT_TRUE(green(p[i])) << i;
        for (int i : {0, 1, 4, 5})
            EXPECT_EQ(p[i].colour[0], 0.5) << i;
        EXPECT_EQ(p[0].viewportX, 0);
        EXPECT_EQ(p[4].viewportX, 250);
    }
    // Division 6 and 7 end a hair below t = 1, so the side view dots its last sample too.
    EXPECT_EQ(draw(6)[3].vertices.size(), 7u);
}

TEST(PreviewCalls, ControlPolygonOfTheInitialCurve)
{
    const std::vector<Primitive> p = draw(5);
    const std::vector<std::pair<double, double>> side = {{-0.9, -0.9}, {-0.45, 0.45}, {0.45, 0.45}};
    const std::vector<std::pair<double, double>> front = {{0.135, -0.9}, {0.09000000000000001, 0.45}, {0, 0.45}};
    EXPECT_EQ(p[0].vertices, side);
    EXPECT_EQ(p[1].vertices, side);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(p[4].vertices[i].first, front[i].first);
        EXPECT_DOUBLE_EQ(p[4].vertices[i].second, front[i].second);
    }
    // Only the +x side has a control polygon; the mirrored outline runs at -x.
    for (const auto &[x, y] : p[8].vertices)
        EXPECT_LE(x, 0.0);
}

TEST(PreviewCalls, DrawFillsTheSampleAndUvTables)
{
    draw(5);
    EXPECT_EQ(g_shape.tables.uvs[0][0], 0.0f);
    EXPECT_EQ(g_shape.tables.uvs[0][1], 0.5f);
    EXPECT_EQ(g_shape.tables.uvs[5][0], 0.15f);
    EXPECT_EQ(g_shape.tables.uvs[5][1], -1.0f);
    EXPECT_EQ(g_shape.tables.uvs[6 + 5][0], -0.15f); // mirrored edge after the six samples
    EXPECT_EQ(g_shape.tables.samples[5][0], 0.15);
    draw(8);
    EXPECT_EQ(g_shape.tables.uvs[17][0], -0.15f);
    EXPECT_EQ(g_shape.tables.uvs[17][1], -1.0f);
}

TEST(PreviewCalls, DivisionIsStoredWithinTheTables)
{
    BladeShape shape = initialBladeShape();
    storeDivision(shape, 99);
    EXPECT_EQ(shape.division, 8);
    storeDivision(shape, 0);
    EXPECT_EQ(shape.division, 1);
}

} // namespace
} // namespace tuft
