// The temporary triangles that let Polygon mode plant on points: where they stand and
// face, what they select, what they leave behind, and the panel actions that go with them.
#include "app/follow_surface.h"
#include "sdk/modeler_host.h"

#include <cmath>

#include <gtest/gtest.h>

namespace tuft::app {
namespace {

using toolkit::UserAction;

// A roof: two squares meeting along a ridge at Y = 1, leaning 45 degrees to either side,
// wound to face up and out; and a point of its own at (5, 5, 5). Points 0 and 1 lie on the
// left slope alone, 2 and 3 on the ridge, 6 nowhere.
host::Object roof()
{
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (const host::Vec3 &p : {host::Vec3{-1, 0, 0}, host::Vec3{-1, 0, 1}, host::Vec3{0, 1, 0}, host::Vec3{0, 1, 1},
                                host::Vec3{1, 0, 0}, host::Vec3{1, 0, 1}, host::Vec3{5, 5, 5}})
        mesh.addPoint(p, MH_FLAG_SELECTED);
    const std::uint32_t left[4] = {0, 1, 3, 2}, right[4] = {2, 3, 5, 4};
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Roof"), left, 4, MH_FLAG_SELECTED);
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Roof"), right, 4);
    object.selectionMode = host::SelectionMode::kPoints;
    return object;
}

void expectNear(const host::Vec3 &a, const host::Vec3 &b, double within, const std::string &what)
{
    EXPECT_NEAR(a.x, b.x, within) << what;
    EXPECT_NEAR(a.y, b.y, within) << what;
    EXPECT_NEAR(a.z, b.z, within) << what;
}

TEST(FollowSurface, EveryPointGetsATriangleOnItFacingTheSurfaceAndNothingStaysBehind)
{
    host::Object object = roof();
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    const SurfaceTemporaries made = addSurfaceTemporaries(object, 1, FollowSurface{}, nullptr);
    ASSERT_EQ(made.bases.size(), 7u);
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPolygons);
    EXPECT_EQ(mesh.polygonCount(), 2u + 7);
    EXPECT_EQ(mesh.selectedPolygonCount(), 7u); // the triangles alone
    const double h = std::sqrt(0.5);
    const host::Vec3 facing[7] = {{-h, h, 0}, {-h, h, 0}, {0, 1, 0}, {0, 1, 0}, {h, h, 0}, {h, h, 0}, {0, 1, 0}};
    for (std::uint32_t i = 0; i < 7; ++i) {
        const std::uint32_t triangle = made.firstPolygon + i;
        EXPECT_TRUE(mesh.polygon(triangle).flags & MH_FLAG_SELECTED);
        expectNear(*host::polygonNormal(mesh, triangle), facing[i], 1e-12, "normal " + std::to_string(i));
        host::Vec3 centre{0, 0, 0};
        for (std::uint32_t point : mesh.pointsOf(triangle)) {
            centre.x += mesh.position(point).x / 3;
            centre.y += mesh.position(point).y / 3;
            centre.z += mesh.position(point).z / 3;
        }
        expectNear(centre, mesh.position(i), 1e-15, "centre " + std::to_string(i));
    }

    removeSurfaceTemporaries(object, 1, made, true);
    EXPECT_EQ(mesh.pointCount(), 7u);
    EXPECT_EQ(mesh.polygonCount(), 2u);
    EXPECT_EQ(mesh.cornerCount(), 8u);
    EXPECT_EQ(mesh.polygon(0).flags, MH_FLAG_SELECTED); // the selection as it was
    EXPECT_EQ(mesh.polygon(1).flags, 0);
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPoints);
    EXPECT_EQ(object.surfaceCount(), 1u);
}

TEST(FollowSurface, WeightsDecideWhichPointsGetBladesAndHowBigTheyStand)
{
    host::Object object = roof();
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    host::PointMap &ztsw =
        mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_WEIGHT, "ZTSW", 1)), MH_MAP_WEIGHT, 1);
    const float weights[6] = {0.5f, 0, -1, 0.1234567f, 2, 1};
    for (std::uint32_t i = 0; i < 6; ++i) { // point 6 has none: it weighs 0
        ztsw.values[i] = weights[i];
        ztsw.has[i] = 1;
    }
    mesh.setPointFlags(5, 0);
    const SurfaceTemporaries made = addSurfaceTemporaries(object, 1, FollowSurface{true}, nullptr);
    ASSERT_EQ(made.bases.size(), 3u);
    EXPECT_EQ(made.sizes, (std::vector<float>{0.5f, 0.123457f, 2}));
    expectNear(made.bases[1], mesh.position(3), 0, "the second base");

    // Blades of two points each, one unit up from their bases, as the plug-in pastes them.
    for (const host::Vec3 &base : made.bases) {
        mesh.addPoint(base);
        mesh.addPoint({base.x, base.y + 1, base.z});
    }
    removeSurfaceTemporaries(object, 1, made, true);
    ASSERT_EQ(mesh.pointCount(), 7u + 6);
    for (std::size_t b = 0; b < 3; ++b) {
        expectNear(mesh.position(7 + 2 * b), made.bases[b], 1e-15, "foot " + std::to_string(b));
        expectNear(mesh.position(8 + 2 * b), {made.bases[b].x, made.bases[b].y + made.sizes[b], made.bases[b].z}, 1e-15,
                   "top " + std::to_string(b));
    }
}

std::vector<UserAction> modeThenOk(const std::string &mode)
{
    return {{UserAction::Type::kSet, "Mode", mode, ""},
            {UserAction::Type::kSet, "(WeightMap)", "on", ""},
            {UserAction::Type::kSet, "Number", "5", ""},
            {UserAction::Type::kOk, "", "", ""}};
}

TEST(FollowSurface, PointModeBecomesPolygonModeAndOtherModesAreRefused)
{
    PlantJob job;
    job.actions = modeThenOk(" Point ");
    followSurface(job);
    ASSERT_TRUE(job.followSurface);
    EXPECT_TRUE(job.followSurface->sizedByWeight);
    ASSERT_EQ(job.actions.size(), 4u);
    EXPECT_EQ(job.actions[0].value, "Polygon");
    EXPECT_EQ(job.actions[1].control, "Number");
    EXPECT_EQ(job.actions[2].control, "Roughness(random)"); // as Point mode with weights ignores it
    EXPECT_EQ(job.actions[2].value, "0");
    EXPECT_EQ(job.actions[3].type, UserAction::Type::kOk);

    for (const char *mode : {"ground", "polygon", "2"}) {
        PlantJob other;
        other.actions = modeThenOk(mode);
        EXPECT_THROW(followSurface(other), UsageError) << mode;
    }
    PlantJob rough; // as Point mode's panel ghosts it once the weights are on
    rough.actions = modeThenOk(" Point ");
    rough.actions.insert(rough.actions.begin() + 2, {UserAction::Type::kSet, "Roughness(random)", "30", ""});
    EXPECT_THROW(followSurface(rough), UsageError);
    PlantJob untouched; // Ground, the panel's first mode
    untouched.actions = {{UserAction::Type::kOk, "", "", ""}};
    EXPECT_THROW(followSurface(untouched), UsageError);
}

} // namespace
} // namespace tuft::app
