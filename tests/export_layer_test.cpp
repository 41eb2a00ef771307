// A layer as files hold it: welded vertices, the up axis, smooth normals, bounds.
#include "meshio/export_layer.h"
#include "sdk/modeler_host.h"
#include "tests/sample_object.h"

#include <array>
#include <cmath>

#include <gtest/gtest.h>

namespace tuft {
namespace {

using meshio::ExportLayer;
using meshio::FileChannels;
using meshio::UpAxis;

TEST(Welding, AVertexPerPointAndValuesNumberedAsFirstUsed)
{
    meshio::Welding<std::array<float, 2>> welding(3);
    EXPECT_EQ(welding.add(0, {1, 1}), 0u);
    EXPECT_EQ(welding.of(0, {1, 1}), 0u);
    EXPECT_EQ(welding.of(0, {2, 2}), 1u);
    EXPECT_EQ(welding.of(1, {-0.0f, 0}), 2u);
    EXPECT_EQ(welding.of(0, {2, 2}), 1u);
    EXPECT_EQ(welding.of(1, {0, 0}), 2u); // -0 is 0
    EXPECT_EQ(welding.of(0, {0, 0}), 3u);
    EXPECT_EQ(welding.size(), 4u);
    EXPECT_EQ(welding.pointOf(3), 0u);
    EXPECT_EQ(welding.valuesOf(1)[0], 2.0f);
    EXPECT_EQ(welding.find(0, {2, 2}), 1u);
    EXPECT_EQ(welding.find(0, {3, 3}), welding.kNone);
    EXPECT_EQ(welding.find(2, {1, 1}), welding.kNone);
    EXPECT_EQ(welding.firstOf(1), 2u);
}

// The sample: a quad on "Ground" and a triangle on "Blade" sharing points 0 and 1.
class Exported : public ::testing::Test {
public:
    ExportLayer layer(UpAxis up = UpAxis::kY)
    {
        const FileChannels channels = meshio::fileChannels(object, {object.findLayer(1)}, options);
        return ExportLayer(object, *object.findLayer(1), options, channels, up, warnings);
    }
    host::PointMap &uvMap() { return *mesh.findMap(static_cast<std::uint32_t>(object.findMapKey(MH_MAP_UV, "UV"))); }

    host::Object object = testing::sampleObject();
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    meshio::WriteOptions options;
    meshio::WriteWarnings warnings;
};

TEST_F(Exported, AZUpFileHoldsTheObjectTurnedAQuarterAboutX)
{
    mesh.addPoint({1, 2, 3});
    const ExportLayer turned = layer(UpAxis::kZ);
    const host::Vec3 p = turned.position(5);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, -3);
    EXPECT_EQ(p.z, 2);
    const float up[3] = {0, 1, 0};
    EXPECT_EQ(turned.direction(up), (std::array<float, 3>{0, 0, 1}));
    EXPECT_EQ(layer(UpAxis::kY).position(5).y, 2);
    double x = p.x, y = p.y, z = p.z;
    meshio::zUpToYUp(x, y, z);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 3);
}

TEST_F(Exported, SmoothNormalsAreTakenWithinEachSurface)
{
    options.normals = true;
    const ExportLayer exported = layer();
    const float *ground = exported.pointNormal(0), *blade = exported.pointNormal(4);
    ASSERT_NE(ground, nullptr);
    ASSERT_NE(blade, nullptr);
    EXPECT_FLOAT_EQ(std::abs(ground[1]), 1.0f); // the flat quad
    EXPECT_EQ(exported.cornerNormal(0, 0), ground);
    const float *shared = exported.cornerNormal(1, 0); // the triangle's corner at the shared point
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(shared[i], blade[i]);
    EXPECT_NE(ground[2], blade[2]);
    const double length = std::sqrt(double(blade[0]) * blade[0] + double(blade[1]) * blade[1] + blade[2] * blade[2]);
    EXPECT_NEAR(length, 1.0, 1e-6);
}

TEST_F(Exported, OneVertexPerPointUntilACornerHasValuesOfItsOwn)
{
    std::size_t skipped = 0;
    {
        const ExportLayer plain = layer();
        EXPECT_FALSE(plain.pointsFirst().welded());
        EXPECT_EQ(plain.pointsFirst().count(), 5u);
        const std::vector<meshio::SurfacePart> parts = plain.surfaceParts(skipped);
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_FALSE(parts[0].vertexTable.welded()); // points 0 to 3, a whole range
        EXPECT_EQ(parts[0].vertexTable.vertexOf(0, 2), 2u);
        ASSERT_TRUE(parts[1].vertexTable.welded()); // points 0, 1 and 4
        EXPECT_EQ(parts[1].vertexTable.count(), 3u);
        EXPECT_EQ(parts[1].vertexTable.pointOf(2), 4u);
    }
    const float seam[2] = {9, 9};
    mesh.setCornerValue(uvMap(), 1, 0, seam); // the triangle's corner at point 0
    const ExportLayer seamed = layer();
    const meshio::VertexTable vertices = seamed.pointsFirst();
    ASSERT_EQ(vertices.count(), 6u);
    EXPECT_EQ(vertices.vertexOf(0, 0), 0u); // the quad's corner keeps the point's own
    EXPECT_EQ(vertices.vertexOf(4, 0), 5u);
    EXPECT_EQ(vertices.pointOf(5), 0u);
    EXPECT_EQ(vertices.valuesOf(5)[0], 9.0f);
    EXPECT_EQ(vertices.valuesOf(1)[0], 0.1f);
    const std::vector<meshio::SurfacePart> parts = seamed.surfaceParts(skipped);
    EXPECT_EQ(parts[1].vertexTable.valuesOf(parts[1].vertexTable.vertexOf(0, 0))[1], 9.0f);
    EXPECT_EQ(skipped, 0u);
}

TEST_F(Exported, PartsAreApartForEachObjectNameEvenOnOneSurface)
{
    const std::uint32_t ground = mesh.polygon(0).surface, triangle[3] = {0, 1, 2}, other[3] = {2, 3, 0};
    mesh.addPolygon(MH_POLY_FACE, ground, triangle, 3); // 2: "Pond"
    mesh.addPolygon(MH_POLY_FACE, ground, other, 3);    // 3: "Rock" again, after the other name
    const std::uint32_t rock = object.tagNameIndex("Rock"), pond = object.tagNameIndex("Pond");
    host::PolygonTag &names = mesh.tagFor(host::kObjectTag);
    names.values[0] = rock;
    names.values[2] = pond;
    names.values[3] = rock;
    std::size_t skipped = 0;
    const std::vector<meshio::SurfacePart> parts = layer().surfaceParts(skipped);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].objectName, rock);
    EXPECT_EQ(parts[0].polygonNumbers, (std::vector<std::uint32_t>{0, 3}));
    EXPECT_EQ(parts[1].objectName, 0u); // the blade, of no name
    EXPECT_EQ(parts[2].objectName, pond);
    EXPECT_EQ(parts[2].surface, ground);
    EXPECT_EQ(parts[2].polygonNumbers, (std::vector<std::uint32_t>{2}));
    EXPECT_EQ(parts[2].vertexTable.count(), 3u);
}

TEST_F(Exported, BoundsHoldEveryVertex)
{
    std::size_t skipped = 0;
    for (const std::uint32_t last : {4u, 3u}) { // the last vertex alone reaches furthest
        mesh.setPosition(last, {-2, 3, 5});
        const std::vector<meshio::SurfacePart> parts = layer().surfaceParts(skipped);
        const meshio::SurfacePart &part = parts[last == 4 ? 1 : 0];
        EXPECT_EQ(part.bounds.low[0], -2);
        EXPECT_EQ(part.bounds.high[1], 3);
        EXPECT_EQ(part.bounds.high[2], 5);
        EXPECT_EQ(part.bounds.low[1], 0);
    }
}

TEST_F(Exported, ObjNumbersPointsThenCornersOwnValuesThenAZero)
{
    const float seam[2] = {9, 9};
    mesh.setCornerValue(uvMap(), 1, 0, seam);
    uvMap().has[4] = 0;
    options.normals = true;
    const meshio::ChannelNumbers uvs = layer().uvNumbers();
    EXPECT_EQ(uvs.count(), 6u); // points 0 to 3, the seam, the zero
    EXPECT_EQ(uvs.of(0, 0), 1u);
    EXPECT_EQ(uvs.of(2, 2), 3u);
    EXPECT_EQ(uvs.of(4, 0), 5u);
    EXPECT_EQ(uvs.of(6, 4), 6u);
    ASSERT_EQ(uvs.extra.size(), 2u);
    EXPECT_EQ(uvs.extra[0][0], 9.0f);
    EXPECT_EQ(uvs.extra[1][0], 0.0f);
    const meshio::ChannelNumbers normals = layer().normalNumbers();
    EXPECT_EQ(normals.count(), 7u); // a normal each point, and the triangle's at 0 and 1
    EXPECT_EQ(normals.of(5, 1), 7u);
}

} // namespace
} // namespace tuft
