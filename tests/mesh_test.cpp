#include "host/mesh.h"
#include "host/modeler.h"

#include <gtest/gtest.h>

namespace tuft::host {
namespace {

Mesh triangle()
{
    Mesh mesh;
    const std::uint32_t a = mesh.addPoint({0, 0, 0});
    const std::uint32_t b = mesh.addPoint({3, 0, 0});
    const std::uint32_t c = mesh.addPoint({0, 3, 0});
    const std::uint32_t v[3] = {a, b, c};
    mesh.addPolygon(0, 0, v, 3);
    return mesh;
}

TEST(Mesh, PasteRenumbersAndKeepsMapValues)
{
    Mesh blade = triangle();
    PointMap &uv = blade.mapFor(7, 2);
    uv.values[2] = 0.5f;
    uv.has[1] = 1;
    Mesh layer;
    layer.addPoint({9, 9, 9});
    layer.append(blade);
    layer.append(blade);
    ASSERT_EQ(layer.pointCount(), 7u);
    ASSERT_EQ(layer.polygonCount(), 2u);
    EXPECT_EQ(layer.vertices[layer.polygons[1].firstVertex], 4u);
    const PointMap *map = layer.findMap(7);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(map->has.begin(), map->has.end()), (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(map->values[2 * 2], 0.5f);
    EXPECT_EQ(map->values[2 * 5], 0.5f);
}

TEST(Mesh, TurnsFollowTheLeftHandRule)
{
    Mesh mesh;
    mesh.addPoint({0, 1, 0});
    mesh.rotate(2, 90, {0, 0, 0}); // about Z: +Y goes to +X
    EXPECT_NEAR(mesh.positions[0].x, 1, 1e-15);
    EXPECT_NEAR(mesh.positions[0].y, 0, 1e-15);
    mesh.positions[0] = {0, 1, 0};
    mesh.rotate(0, -90, {0, 0, 0}); // about X: -90 takes +Y to +Z
    EXPECT_NEAR(mesh.positions[0].z, 1, 1e-15);
    mesh.positions[0] = {1, 0, 0};
    mesh.rotate(1, 90, {0, 0, 0}); // about Y: +X goes to +Z
    EXPECT_NEAR(mesh.positions[0].z, 1, 1e-15);
    mesh.scale({2, 3, 4}, {1, 0, 0});
    EXPECT_NEAR(mesh.positions[0].x, -1, 1e-15);
    EXPECT_NEAR(mesh.positions[0].z, 4, 1e-15);
}

TEST(Mesh, NewellNormalNeedsThreePoints)
{
    const Mesh mesh = triangle();
    const auto normal = polygonNormal(mesh, 0);
    ASSERT_TRUE(normal);
    EXPECT_DOUBLE_EQ(normal->z, 1.0);
    Mesh line;
    line.addPoint({0, 0, 0});
    line.addPoint({1, 0, 0});
    const std::uint32_t v[2] = {0, 1};
    line.addPolygon(0, 0, v, 2);
    EXPECT_FALSE(polygonNormal(line, 0));
}

} // namespace
} // namespace tuft::host
