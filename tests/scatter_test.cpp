// Points scattered by area over selected polygons: even, apart, on the surface, off the
// steep parts and where the density map says none, and gone again after planting.
#include "scatter/scatter.h"
#include "sdk/modeler_host.h"

#include <cmath>
#include <functional>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

namespace tuft::scatter {
namespace {

constexpr double kPi = 3.141592653589793;

// An n x n grid of quads over [-half, half]^2 at the heights `height(x, z)` gives, all
// selected; weight maps "dense" and "tall" from the functions given.
host::Object grid(int n, double half, const std::function<double(double, double)> &height,
                  const std::function<float(double, double)> &dense = nullptr,
                  const std::function<float(double, double)> &tall = nullptr)
{
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const double x = -half + 2 * half * i / n, z = -half + 2 * half * j / n;
            mesh.addPoint({x, height(x, z), z});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const std::uint32_t a = static_cast<std::uint32_t>(j * (n + 1) + i);
            const std::uint32_t quad[4] = {a, a + n + 1, a + n + 2, a + 1};
            mesh.addPolygon(MH_POLY_FACE, 0, quad, 4, MH_FLAG_SELECTED);
        }
    for (const auto &[name, values] : {std::make_pair("dense", dense), std::make_pair("tall", tall)}) {
        if (!values)
            continue;
        host::PointMap &map =
            mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_WEIGHT, name, 1)), MH_MAP_WEIGHT, 1);
        for (std::size_t i = 0; i < mesh.pointCount(); ++i) {
            map.values[i] = values(mesh.position(i).x, mesh.position(i).z);
            map.has[i] = 1;
        }
    }
    object.selectionMode = host::SelectionMode::kPolygons;
    return object;
}

double flat(double, double) { return 0; }
double hill(double x, double z) { return 6 * std::exp(-(x * x + z * z) / 20); }

std::vector<host::Vec3> scattered(const host::Object &object, const ScatterResult &result)
{
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    std::vector<host::Vec3> points;
    for (std::size_t i = result.firstPoint; i < mesh.pointCount(); ++i)
        points.push_back(mesh.position(i));
    return points;
}

TEST(Scatter, AFlatSquareIsCoveredEvenly)
{
    host::Object object = grid(10, 5, flat);
    ScatterOptions options;
    options.count = 40000;
    options.seed = 1;
    const ScatterResult result = scatterPoints(object, 1, options);
    ASSERT_EQ(result.made, 40000u);
    EXPECT_NEAR(result.area, 100.0, 1e-9);
    int quarters[4] = {0, 0, 0, 0};
    for (const host::Vec3 &p : scattered(object, result)) {
        EXPECT_EQ(p.y, 0.0);
        ++quarters[(p.x >= 0) + 2 * (p.z >= 0)];
    }
    // Each quarter holds a binomial count: 10000 expected, within five standard deviations.
    const double sigma = std::sqrt(40000 * 0.25 * 0.75);
    for (int quarter : quarters)
        EXPECT_NEAR(quarter, 10000, 5 * sigma);
    // The points are what is selected now.
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPoints);
    EXPECT_EQ(mesh.pointFlags(0), 0);
    EXPECT_EQ(mesh.pointFlags(result.firstPoint), MH_FLAG_SELECTED);
}

TEST(Scatter, SpacingKeepsEveryTwoPointsApartAndSaysHowManyFit)
{
    host::Object object = grid(10, 5, hill);
    ScatterOptions options;
    options.count = 20000; // far more than fit
    options.spacing = 0.25;
    options.seed = 2;
    const ScatterResult result = scatterPoints(object, 1, options);
    EXPECT_LT(result.made, result.asked);
    EXPECT_GT(result.made, 1000u);
    const std::vector<host::Vec3> points = scattered(object, result);
    ASSERT_EQ(points.size(), result.made);
    // Every pair, by a coarse grid of cells as large as the spacing.
    std::map<std::tuple<long, long, long>, std::vector<host::Vec3>> cells;
    const auto cellOf = [](double v) { return static_cast<long>(std::floor(v / 0.25)); };
    for (const host::Vec3 &p : points)
        cells[{cellOf(p.x), cellOf(p.y), cellOf(p.z)}].push_back(p);
    std::size_t close = 0;
    for (const host::Vec3 &p : points)
        for (long dx = -1; dx <= 1; ++dx)
            for (long dy = -1; dy <= 1; ++dy)
                for (long dz = -1; dz <= 1; ++dz)
                    for (const host::Vec3 &q : cells[{cellOf(p.x) + dx, cellOf(p.y) + dy, cellOf(p.z) + dz}]) {
                        const double d = std::hypot(p.x - q.x, p.y - q.y, p.z - q.z);
                        close += d > 0 && d < 0.25;
                    }
    EXPECT_EQ(close, 0u);
}

// Every point within the radius of a centre and on the surface, the spacing kept, the
// count reached: over a hill of small triangles, and over a flat square of two triangles
// far larger than a clump.
TEST(Scatter, ClumpsGatherEveryPointNearACentre)
{
    for (const auto &[n, height] : {std::make_pair(40, &hill), std::make_pair(1, &flat)}) {
        host::Object object = grid(n, 10, height);
        ScatterOptions options;
        options.count = 5000;
        options.spacing = 0.02;
        options.clumps = ScatterOptions::Clumping{30, 0.7};
        options.seed = 4;
        const ScatterResult result = scatterPoints(object, 1, options);
        EXPECT_EQ(result.made, result.asked) << n;
        ASSERT_EQ(result.centres.size(), 30u) << n;
        const std::vector<host::Vec3> points = scattered(object, result);
        std::size_t far = 0, close = 0, off = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const host::Vec3 &p = points[i];
            double nearest = 1e300;
            for (const host::Vec3 &c : result.centres)
                nearest = std::min(nearest, std::hypot(p.x - c.x, p.y - c.y, p.z - c.z));
            far += nearest > 0.7 + 1e-12;
            off += std::abs(p.y - height(p.x, p.z)) > 0.05; // a 40 x 40 grid follows the hill closely
            for (std::size_t j = i + 1; j < points.size(); ++j)
                close += std::hypot(p.x - points[j].x, p.y - points[j].y, p.z - points[j].z) < 0.02;
        }
        EXPECT_EQ(far, 0u) << n;
        EXPECT_EQ(close, 0u) << n;
        EXPECT_EQ(off, 0u) << n;
    }
}

// A clump is spread evenly by area: half its points within 1/sqrt(2) of its radius,
// whether they are drawn in small triangles or in the disc the ball cuts from a large one.
TEST(Scatter, AClumpIsEvenOverItsDisc)
{
    for (const int n : {200, 1}) {
        host::Object object = grid(n, 10, flat);
        ScatterOptions options;
        options.count = 20000;
        options.clumps = ScatterOptions::Clumping{1, 0.5};
        options.seed = 6;
        const ScatterResult result = scatterPoints(object, 1, options);
        ASSERT_EQ(result.centres.size(), 1u);
        const host::Vec3 c = result.centres[0];
        ASSERT_LT(std::max(std::abs(c.x), std::abs(c.z)), 9.5) << "the clump is cut by the square's edge";
        std::size_t inner = 0;
        for (const host::Vec3 &p : scattered(object, result))
            inner += std::hypot(p.x - c.x, p.z - c.z) < 0.5 / std::sqrt(2.0);
        EXPECT_NEAR(double(inner) / double(result.made), 0.5, 0.02) << n;
    }
}

// Near the border of the selection, and of a path left out of it, the density rises
// band by band to the full density, which holds beyond the falloff's distance.
TEST(Scatter, TheDensityFadesTowardTheBorderAndAPath)
{
    host::Object object = grid(40, 10, flat);
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) // a path along Z, 2 wide
        if (std::abs(mesh.position(mesh.pointsOf(p)[0]).x + 0.25) < 1)
            mesh.setPolygonFlags(p, 0);
    const double falloff = 2, density = 200;
    ScatterOptions options;
    options.density = density;
    options.edgeFalloff = falloff;
    options.seed = 3;
    const ScatterResult result = scatterPoints(object, 1, options);
    EXPECT_EQ(result.made, result.asked);
    // The distance to the border: the square's edge, or the path's (|x| = 1).
    const auto border = [](double x, double z) {
        return std::min({10 - std::abs(x), 10 - std::abs(z), std::abs(x) - 1});
    };
    constexpr int kBands = 5; // four of a quarter of the falloff, then the rest
    const auto band = [&](double x, double z) { return std::min(kBands - 1, int(border(x, z) / (falloff / 4))); };
    double area[kBands] = {}, count[kBands] = {};
    constexpr int kSteps = 1000;
    for (int i = 0; i < kSteps; ++i)
        for (int j = 0; j < kSteps; ++j) {
            const double x = -10 + 20 * (i + 0.5) / kSteps, z = -10 + 20 * (j + 0.5) / kSteps;
            if (border(x, z) >= 0)
                area[band(x, z)] += 400.0 / (kSteps * kSteps);
        }
    for (const host::Vec3 &p : scattered(object, result)) {
        ASSERT_GE(border(p.x, p.z), -1e-9) << "a point on the path, at " << p.x;
        count[band(p.x, p.z)] += 1;
    }
    double previous = 0;
    for (int b = 0; b < kBands; ++b) {
        const double here = count[b] / area[b];
        EXPECT_GT(here, previous) << "band " << b;
        previous = here;
    }
    EXPECT_LT(count[0] / area[0], 0.1 * density);
    EXPECT_NEAR(count[kBands - 1] / area[kBands - 1], density, 0.04 * density);
}

TEST(Scatter, PointsLieOnTheSurfaceOffItsSteepParts)
{
    const int n = 20;
    const double half = 10, step = 2 * half / n;
    host::Object object = grid(n, half, hill);
    ScatterOptions options;
    options.count = 5000;
    options.maxSlope = 30;
    options.seed = 3;
    const ScatterResult result = scatterPoints(object, 1, options);
    ASSERT_EQ(result.made, 5000u);
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    const std::vector<host::Vec3> points = scattered(object, result);
    ASSERT_EQ(result.polygons.size(), points.size());
    for (std::size_t k = 0; k < points.size(); ++k) {
        const host::Vec3 &p = points[k];
        // The quad under the point, which the result names, its fan's two triangles, and
        // the polygon's lean.
        const int i = std::min(n - 1, static_cast<int>((p.x + half) / step));
        const int j = std::min(n - 1, static_cast<int>((p.z + half) / step));
        const std::uint32_t polygon = static_cast<std::uint32_t>(j * n + i);
        EXPECT_EQ(result.polygons[k], polygon) << p.x << " " << p.z;
        const host::PolygonPoints v = mesh.pointsOf(polygon);
        double nearest = 1e9;
        for (int t = 1; t <= 2; ++t) {
            const host::Vec3 &a = mesh.position(v[0]), &b = mesh.position(v[t]), &c = mesh.position(v[t + 1]);
            const double u[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, w[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
            double nn[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            const double length = std::sqrt(nn[0] * nn[0] + nn[1] * nn[1] + nn[2] * nn[2]);
            nearest =
                std::min(nearest, std::fabs((p.x - a.x) * nn[0] + (p.y - a.y) * nn[1] + (p.z - a.z) * nn[2]) / length);
        }
        EXPECT_LT(nearest, 1e-6) << p.x << " " << p.z;
        const host::Vec3 normal = *host::polygonNormal(mesh, polygon);
        EXPECT_LE(std::acos(std::fabs(normal.y)) * 180 / kPi, 30.0 + 1e-9) << p.x << " " << p.z;
    }
}

TEST(Scatter, TheDensityMapThinsAndTheSizeMapWeighs)
{
    host::Object object = grid(
        20, 10, hill, [](double x, double) { return x > 0 ? 1.0f : 0.0f; },
        [](double, double z) { return static_cast<float>(0.5 + 0.025 * (z + 10)); });
    ScatterOptions options;
    options.density = 20;
    options.densityMap = "dense";
    options.sizeMap = "tall";
    options.seed = 4;
    const ScatterResult result = scatterPoints(object, 1, options);
    EXPECT_EQ(result.asked, static_cast<std::uint64_t>(std::llround(20 * result.area)));
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    const auto ztsw = static_cast<std::uint32_t>(object.findMapKey(MH_MAP_WEIGHT, "ZTSW"));
    int nearer = 0, farther = 0; // in the column of quads where the density rises from 0 to 1
    for (std::uint32_t i = result.firstPoint; i < mesh.pointCount(); ++i) {
        const host::Vec3 &p = mesh.position(i);
        EXPECT_GE(p.x, 0.0); // none where the density is 0
        EXPECT_NEAR(*mesh.pointValue(ztsw, i), 0.5 + 0.025 * (p.z + 10), 1e-5);
        nearer += p.x < 0.5;
        farther += p.x >= 0.5 && p.x < 1;
    }
    // A density rising linearly across the column puts a quarter of its points in its
    // first half and three quarters in its second.
    EXPECT_GT(farther, 150);
    EXPECT_LT(nearer, farther / 2);
    EXPECT_THROW(scatterPoints(object, 1, ScatterOptions{1, {}, 0, 180, "nothing", "", 0, {}}), std::invalid_argument);
}

TEST(Scatter, TheSeedDecidesThePoints)
{
    const auto pointsFor = [](std::uint64_t seed) {
        host::Object object = grid(4, 1, hill);
        ScatterOptions options;
        options.count = 50;
        options.seed = seed;
        const ScatterResult result = scatterPoints(object, 1, options);
        std::vector<double> coordinates;
        for (const host::Vec3 &p : scattered(object, result))
            coordinates.insert(coordinates.end(), {p.x, p.y, p.z});
        return coordinates;
    };
    EXPECT_EQ(pointsFor(7), pointsFor(7));
    EXPECT_NE(pointsFor(7), pointsFor(8));
}

TEST(Scatter, ThePointsGoAgainAndWhatStandsOnLaterPointsStays)
{
    host::Object object = grid(3, 1, flat);
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    const host::Mesh before = mesh;
    ScatterOptions options;
    options.count = 10;
    const ScatterResult result = scatterPoints(object, 1, options);
    // A blade added after the points, as the plug-in pastes it.
    const host::Vec3 tip{0.25, 1, 0.5};
    const std::uint32_t blade[3] = {mesh.addPoint({0, 0, 0}), mesh.addPoint({0.5, 0, 0}), mesh.addPoint(tip)};
    mesh.addPolygon(MH_POLY_FACE, 1, blade, 3);
    removeScatteredPoints(object, 1, result);
    ASSERT_EQ(mesh.pointCount(), before.pointCount() + 3);
    for (std::size_t i = 0; i < before.pointCount(); ++i)
        EXPECT_EQ(mesh.position(i).x, before.position(i).x);
    for (std::size_t i = 0; i < before.cornerCount(); ++i)
        EXPECT_EQ(mesh.cornerPoint(i), before.cornerPoint(i));
    const std::uint32_t last = mesh.cornerPoint(mesh.cornerCount() - 1);
    EXPECT_EQ(mesh.position(last).y, tip.y);
    EXPECT_EQ(last, before.pointCount() + 2);
}

} // namespace
} // namespace tuft::scatter
