#include "host/mesh.h"
#include "host/modeler.h"
#include "sdk/modeler_host.h"

#include <algorithm>

#include <cmath>
#include <stdexcept>
#include <vector>

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
    PointMap &uv = blade.mapFor(7, MH_MAP_UV, 2);
    uv.values[2] = 0.5f;
    uv.has[1] = 1;
    Mesh layer;
    layer.addPoint({9, 9, 9});
    layer.append(blade);
    layer.append(blade);
    ASSERT_EQ(layer.pointCount(), 7u);
    ASSERT_EQ(layer.polygonCount(), 2u);
    EXPECT_EQ(layer.cornerPoint(layer.polygon(1).firstVertex), 4u);
    const PointMap *map = layer.findMap(7);
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(std::vector<std::uint8_t>(map->has.begin(), map->has.end()),
              (std::vector<std::uint8_t>{0, 0, 1, 0, 0, 1, 0}));
    EXPECT_EQ(map->values[2 * 2], 0.5f);
    EXPECT_EQ(map->values[2 * 5], 0.5f);
}

TEST(Mesh, TurnsFollowTheLeftHandRule)
{
    Mesh mesh;
    mesh.addPoint({0, 1, 0});
    mesh.rotate(2, 90, {0, 0, 0}); // about Z: +Y goes to +X
    EXPECT_NEAR(mesh.position(0).x, 1, 1e-15);
    EXPECT_NEAR(mesh.position(0).y, 0, 1e-15);
    mesh.setPosition(0, {0, 1, 0});
    mesh.rotate(0, -90, {0, 0, 0}); // about X: -90 takes +Y to +Z
    EXPECT_NEAR(mesh.position(0).z, 1, 1e-15);
    mesh.setPosition(0, {1, 0, 0});
    mesh.rotate(1, 90, {0, 0, 0}); // about Y: +X goes to +Z
    EXPECT_NEAR(mesh.position(0).z, 1, 1e-15);
    mesh.scale({2, 3, 4}, {1, 0, 0});
    EXPECT_NEAR(mesh.position(0).x, -1, 1e-15);
    EXPECT_NEAR(mesh.position(0).z, 4, 1e-15);
}

// A turn in the Modeler's left-handed sense is a right-handed turn by minus the angle:
// Rodrigues' formula about the unit axis, through the centre.
Vec3 turnedLeftHanded(const Vec3 &p, int axis, double degrees, const Vec3 &c)
{
    const double a = -degrees * 3.141592653589793 / 180;
    const double k[3] = {axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0};
    const double v[3] = {p.x - c.x, p.y - c.y, p.z - c.z};
    const double cross[3] = {k[1] * v[2] - k[2] * v[1], k[2] * v[0] - k[0] * v[2], k[0] * v[1] - k[1] * v[0]};
    const double along = k[0] * v[0] + k[1] * v[1] + k[2] * v[2];
    double r[3];
    for (int i = 0; i < 3; ++i)
        r[i] = v[i] * std::cos(a) + cross[i] * std::sin(a) + k[i] * along * (1 - std::cos(a));
    return {c.x + r[0], c.y + r[1], c.z + r[2]};
}

TEST(Mesh, TurnsOfAnOffAxisPointAboutEachAxis)
{
    const Vec3 point{1.5, -2.0, 3.25}, centre{0.5, 1.0, -2.0};
    for (int axis = 0; axis < 3; ++axis)
        for (double degrees : {30.0, -75.0, 200.0}) {
            Mesh mesh;
            mesh.addPoint(point);
            mesh.rotate(axis, degrees, centre);
            const Vec3 expected = turnedLeftHanded(point, axis, degrees, centre);
            EXPECT_NEAR(mesh.position(0).x, expected.x, 1e-12) << axis << " " << degrees;
            EXPECT_NEAR(mesh.position(0).y, expected.y, 1e-12) << axis << " " << degrees;
            EXPECT_NEAR(mesh.position(0).z, expected.z, 1e-12) << axis << " " << degrees;
        }
}

TEST(Mesh, CornerValuesAndTagsTravelWithTheirPolygons)
{
    Mesh blade = triangle();
    PointMap &uv = blade.mapFor(3, MH_MAP_UV, 2);
    const float own[2] = {0.25f, 0.5f}, seam[2] = {0.75f, 0.5f};
    std::copy_n(own, 2, &uv.values[2]);
    uv.has[1] = 1;
    blade.setCornerValue(uv, 0, 1, seam);
    blade.tagFor(kPartTag).values[0] = 7;
    Mesh layer;
    layer.append(blade);
    layer.append(blade);
    const PointMap &pasted = *layer.findMap(3);
    ASSERT_EQ(pasted.corners.size(), 2u);
    EXPECT_EQ(pasted.corners[1].polygon, 1u);
    EXPECT_EQ(pasted.corners[1].point, 4u);
    EXPECT_EQ(pasted.valueOn(1, 4)[0], 0.75f); // the second copy's seam
    EXPECT_EQ(pasted.valueOn(1, 3), nullptr);  // a point without a value
    ASSERT_NE(layer.findTag(kPartTag), nullptr);
    EXPECT_EQ(layer.findTag(kPartTag)->values[1], 7u);
    layer.addPolygon(0, 0, layer.cornerPoints(), 3);
    EXPECT_EQ(layer.findTag(kPartTag)->values.size(), 3u);
    layer.truncate(3, 1, 3); // back to the first copy
    EXPECT_EQ(layer.findMap(3)->corners.size(), 1u);
    EXPECT_EQ(layer.findTag(kPartTag)->values.size(), 1u);
    // Corner values given out of polygon order still land in it.
    layer.append(blade);
    layer.setCornerValue(*layer.findMap(3), 0, 2, own);
    EXPECT_EQ(layer.findMap(3)->corners[1].point, 2u);
    EXPECT_EQ(layer.findMap(3)->corners[2].polygon, 1u);
}

TEST(Mesh, NormalMapsTurnAndLeanWithTheSurface)
{
    Mesh mesh = triangle();
    mesh.setPosition(2, {0.5, 1.0, 2.0});
    PointMap &normals = mesh.mapFor(9, kNormalMap, 3);
    const auto setNormal = [&] {
        const Vec3 n = *polygonNormal(mesh, 0);
        for (int point = 0; point < 3; ++point) {
            normals.values[3 * point] = static_cast<float>(n.x);
            normals.values[3 * point + 1] = static_cast<float>(n.y);
            normals.values[3 * point + 2] = static_cast<float>(n.z);
            normals.has[point] = 1;
        }
    };
    const auto expectNormalOfPolygon = [&](const char *what) {
        const Vec3 n = *polygonNormal(mesh, 0);
        EXPECT_NEAR(normals.values[0], n.x, 1e-6) << what;
        EXPECT_NEAR(normals.values[1], n.y, 1e-6) << what;
        EXPECT_NEAR(normals.values[2], n.z, 1e-6) << what;
    };
    setNormal();
    mesh.rotate(0, 35, {1, 2, 3});
    expectNormalOfPolygon("turned about X");
    mesh.rotate(2, -120, {0, 0, 0});
    expectNormalOfPolygon("turned about Z");
    mesh.scale({-1, 2, 0.5}, {0, 0, 0}); // mirrored and squashed
    expectNormalOfPolygon("scaled");
    mesh.translate({5, 5, 5});
    expectNormalOfPolygon("moved");
}

TEST(Mesh, OnlyPointsNoPolygonUsesAreErasedAndPolygonsUseOnlyPointsItHas)
{
    Mesh mesh = triangle();
    mesh.addPoint({7, 0, 0});
    mesh.addPoint({8, 0, 0});
    const std::uint32_t used = mesh.addPoint({9, 0, 0});
    const std::uint32_t second[3] = {used, 0, 1};
    mesh.addPolygon(MH_POLY_FACE, 0, second, 3);
    PointMap &weights = mesh.mapFor(0, MH_MAP_WEIGHT, 1);
    for (std::uint32_t i = 0; i < 6; ++i) {
        weights.values[i] = float(i);
        weights.has[i] = 1;
    }
    const float seam = 0.5f;
    mesh.setCornerValue(weights, 1, used, &seam);

    mesh.erasePoints(3, 2);
    ASSERT_EQ(mesh.pointCount(), 4u);
    EXPECT_EQ(mesh.position(3).x, 9);
    EXPECT_EQ(mesh.pointsOf(1)[0], 3u);
    EXPECT_EQ(*mesh.findMap(0)->pointValue(3), 5.0f);
    EXPECT_EQ(*mesh.findMap(0)->cornerValue(1, 3), 0.5f);

    for (const std::size_t first : {0u, 2u, 3u}) // each used by a polygon
        EXPECT_THROW(mesh.erasePoints(first, 1), std::invalid_argument) << first;
    EXPECT_THROW(mesh.erasePoints(3, 1), std::invalid_argument);
    EXPECT_EQ(mesh.pointCount(), 4u);
    EXPECT_EQ(mesh.pointsOf(1)[0], 3u);

    const std::uint32_t beyond[3] = {0, 1, 4};
    mesh.tagFor(kPartTag);
    EXPECT_THROW(mesh.addPolygon(MH_POLY_FACE, 0, beyond, 3), std::out_of_range);
    EXPECT_EQ(mesh.polygonCount(), 2u);
    EXPECT_EQ(mesh.cornerCount(), 6u);
    EXPECT_EQ(mesh.findTag(kPartTag)->values.size(), 2u);
}

TEST(Mesh, ErasedPolygonsTakeTheirCornersTagsAndSeamsAndKeepTheirPoints)
{
    // Three triangles in a row, the middle one (a quad) erased; each polygon tagged with
    // its number and given a seam on its first point.
    Mesh mesh;
    for (int i = 0; i < 7; ++i)
        mesh.addPoint({double(i), 0, 0});
    const std::uint32_t first[3] = {0, 1, 2}, middle[4] = {2, 3, 4, 1}, last[3] = {4, 5, 6};
    mesh.addPolygon(MH_POLY_FACE, 0, first, 3);
    mesh.addPolygon(MH_POLY_FACE, 1, middle, 4, MH_FLAG_SELECTED);
    mesh.addPolygon(MH_POLY_FACE, 2, last, 3, MH_FLAG_SELECTED);
    PolygonTag &tag = mesh.tagFor(kPartTag);
    PointMap &uv = mesh.mapFor(3, MH_MAP_UV, 2);
    for (std::uint32_t p = 0; p < 3; ++p) {
        tag.values[p] = 10 + p;
        const float seam[2] = {float(p), 0.5f};
        mesh.setCornerValue(uv, p, mesh.pointsOf(p)[0], seam);
    }

    mesh.erasePolygons(1, 1);
    ASSERT_EQ(mesh.polygonCount(), 2u);
    EXPECT_EQ(mesh.pointCount(), 7u);
    EXPECT_EQ(mesh.cornerCount(), 6u);
    EXPECT_EQ(mesh.polygon(1).surface, 2u);
    EXPECT_EQ(mesh.polygon(1).flags, MH_FLAG_SELECTED);
    EXPECT_EQ(mesh.selectedPolygonCount(), 1u);
    EXPECT_EQ(std::vector<std::uint32_t>(mesh.pointsOf(1).begin(), mesh.pointsOf(1).end()),
              (std::vector<std::uint32_t>{4, 5, 6}));
    EXPECT_EQ(mesh.findTag(kPartTag)->values[1], 12u);
    const PointMap &kept = *mesh.findMap(3);
    ASSERT_EQ(kept.corners.size(), 2u);
    ASSERT_NE(kept.valueOn(1, 4), nullptr); // the last polygon's seam, under its new number
    EXPECT_EQ(kept.valueOn(1, 4)[0], 2.0f);
    EXPECT_EQ(kept.cornerValue(1, 2), nullptr);
    // Its points, unused now, can go.
    mesh.erasePoints(3, 1);
    EXPECT_EQ(mesh.pointsOf(1)[0], 3u);

    EXPECT_THROW(mesh.erasePolygons(1, 2), std::out_of_range);
    EXPECT_THROW(mesh.erasePolygons(3, 0), std::out_of_range);
    EXPECT_EQ(mesh.polygonCount(), 2u);
    mesh.erasePolygons(0, 2);
    EXPECT_EQ(mesh.cornerCount(), 0u);
    EXPECT_TRUE(mesh.findMap(3)->corners.empty());
    EXPECT_TRUE(mesh.findTag(kPartTag)->values.empty());
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
