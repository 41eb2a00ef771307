// The program as a user runs it, checked on the mesh file it writes.
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

namespace tuft {
namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.141592653589793;

struct V {
    double x, y, z;
    V operator-(const V &o) const { return {x - o.x, y - o.y, z - o.z}; }
    V operator+(const V &o) const { return {x + o.x, y + o.y, z + o.z}; }
    V operator*(double s) const { return {x * s, y * s, z * s}; }
    double dot(const V &o) const { return x * o.x + y * o.y + z * o.z; }
    double length() const { return std::sqrt(dot(*this)); }
    V unit() const { return *this * (1 / length()); }
};

V at(const host::LayerMesh &mesh, std::size_t i)
{
    return {mesh.position(i).x, mesh.position(i).y, mesh.position(i).z};
}

class EndToEnd : public ::testing::Test {
public:
    std::string path(const std::string &name) const { return scratch / name; }

    int tuftsprout(const std::string &arguments) const
    {
        const std::string command = std::string(TUFTSPROUT_PROGRAM) + " " + arguments + " 2>" + path("log.txt");
        return std::system(command.c_str());
    }

    testing::ScratchDirectory scratch{"e2e"};
};

// A sphere of radius 2 centred at (0, 3, 0): quads between latitude rings, triangles at
// the poles, wound counter-clockwise seen from outside. The quads' centres lie at
// longitudes 0, 45, ... so some normals lie in the coordinate planes.
void writeSphere(const std::string &file, int rings, int segments)
{
    std::ofstream out(file);
    const auto vertex = [&](double theta, double phi) {
        out << "v " << 2 * std::sin(theta) * std::cos(phi) << " " << 3 + 2 * std::cos(theta) << " "
            << 2 * std::sin(theta) * std::sin(phi) << "\n";
    };
    out.precision(17);
    vertex(0, 0);
    for (int r = 1; r < rings; ++r)
        for (int s = 0; s < segments; ++s)
            vertex(kPi * r / rings, 2 * kPi * (s + 0.5) / segments);
    vertex(kPi, 0);
    const int south = 1 + (rings - 1) * segments + 1;
    const auto ring = [&](int r, int s) { return 2 + (r - 1) * segments + (s + segments) % segments; };
    for (int s = 0; s < segments; ++s)
        out << "f 1 " << ring(1, s + 1) << " " << ring(1, s) << "\n";
    for (int r = 1; r + 1 < rings; ++r)
        for (int s = 0; s < segments; ++s)
            out << "f " << ring(r, s) << " " << ring(r, s + 1) << " " << ring(r + 1, s + 1) << " " << ring(r + 1, s)
                << "\n";
    for (int s = 0; s < segments; ++s)
        out << "f " << south << " " << ring(rings - 1, s) << " " << ring(rings - 1, s + 1) << "\n";
}

// The blade of the initial options whose points start at `b`: tip, then right and left
// edges; the base pair is last.
V bladeBase(const host::LayerMesh &mesh, std::size_t b) { return (at(mesh, b + 9) + at(mesh, b + 10)) * 0.5; }
V bladeTip(const host::LayerMesh &mesh, std::size_t b) { return at(mesh, b) - bladeBase(mesh, b); }

// The blade's own up axis, from its tip and fourth right edge point (template coordinates
// (0, 0.6, 0.6) and (0.0512, 0.216, 0.088) at Size 0.4).
V bladeAxis(const host::LayerMesh &mesh, std::size_t b)
{
    const V across = (at(mesh, b + 9) - at(mesh, b + 10)).unit();
    const V fourth = at(mesh, b + 7) - bladeBase(mesh, b) - across * 0.0512;
    return ((fourth - bladeTip(mesh, b) * (0.088 / 0.6)) * (1 / 0.128)).unit();
}

TEST_F(EndToEnd, PolygonBladesStandOnCentresTiltedTowardNormals)
{
    writeSphere(path("sphere.obj"), 6, 8);
    ASSERT_EQ(
        tuftsprout("plant " + path("sphere.obj") + " -o " + path("lawn.obj") + " --mode polygon --select polygons:all"),
        0);
    host::Object sphere, lawn;
    meshio::readMesh(path("sphere.obj"), sphere, 1);
    meshio::readMesh(path("lawn.obj"), lawn, 1);
    const host::LayerMesh &input = sphere.findLayer(1)->mesh;
    const host::LayerMesh &output = lawn.findLayer(1)->mesh;
    ASSERT_EQ(output.pointCount(), input.pointCount() + 11 * input.polygonCount());
    int inPlane = 0;
    for (std::size_t p = 0; p < input.polygonCount(); ++p) {
        const host::Polygon &polygon = input.polygon(p);
        V centre{0, 0, 0};
        for (std::uint32_t v = 0; v < polygon.vertexCount; ++v)
            centre = centre + at(input, input.cornerPoint(polygon.firstVertex + v));
        centre = centre * (1.0 / polygon.vertexCount);
        // The polygon's normal from the cross product of its diagonals (two edges for a
        // triangle); outward, since the sphere is wound counter-clockwise from outside.
        const auto corner = [&](std::uint32_t k) { return at(input, input.cornerPoint(polygon.firstVertex + k)); };
        const V d1 = polygon.vertexCount == 4 ? corner(2) - corner(0) : corner(1) - corner(0);
        const V d2 = polygon.vertexCount == 4 ? corner(3) - corner(1) : corner(2) - corner(0);
        const V normal = V{d1.y * d2.z - d1.z * d2.y, d1.z * d2.x - d1.x * d2.z, d1.x * d2.y - d1.y * d2.x}.unit();
        ASSERT_GT(normal.dot(centre - V{0, 3, 0}), 0) << "the test sphere is wound inward at " << p;

        const std::size_t b = input.pointCount() + 11 * p;
        EXPECT_NEAR((bladeBase(output, b) - centre).length(), 0, 1e-9) << p;
        const V up = bladeAxis(output, b);
        // Tilted toward the normal: never further from it than an upright blade.
        EXPECT_GE(up.dot(normal), normal.y - 1e-9) << p;
        // Where the normal lies in a coordinate plane the two turns reach it exactly.
        if (std::abs(normal.x) < 1e-9 || std::abs(normal.z) < 1e-9) {
            EXPECT_NEAR(up.dot(normal), 1.0, 1e-9) << p;
            ++inPlane;
        }
    }
    EXPECT_GE(inPlane, 16);
}

// Blades on the sphere's own points stand up without --follow-surface, some leaning into
// it; with it, each stands on its point leaning out.
TEST_F(EndToEnd, FollowSurfaceTiltsPointBladesOutOfTheSphere)
{
    writeSphere(path("sphere.obj"), 6, 8);
    host::Object sphere;
    meshio::readMesh(path("sphere.obj"), sphere, 1);
    const host::LayerMesh &input = sphere.findLayer(1)->mesh;
    for (const bool follow : {false, true}) {
        SCOPED_TRACE(follow ? "--follow-surface" : "upright");
        ASSERT_EQ(tuftsprout("plant " + path("sphere.obj") + " -o " + path("lawn.obj") +
                             " --mode point --select points:all" + (follow ? " --follow-surface" : "")),
                  0);
        host::Object lawn;
        meshio::readMesh(path("lawn.obj"), lawn, 1);
        const host::LayerMesh &output = lawn.findLayer(1)->mesh;
        ASSERT_EQ(output.pointCount(), input.pointCount() + 11 * input.pointCount());
        ASSERT_EQ(output.polygonCount(), input.polygonCount() + 5 * input.pointCount());
        int inward = 0;
        for (std::size_t i = 0; i < input.pointCount(); ++i) {
            const std::size_t b = input.pointCount() + 11 * i;
            const V point = at(input, i), outward = (point - V{0, 3, 0}).unit();
            EXPECT_NEAR((bladeBase(output, b) - point).length(), 0, 1e-9) << i;
            inward += bladeTip(output, b).dot(outward) < 0;
            if (!follow) {
                EXPECT_NEAR(bladeAxis(output, b).y, 1, 1e-9) << i;
                continue;
            }
            EXPECT_GT(bladeAxis(output, b).dot(outward), 0) << i;
            // Polygon mode's two turns take the blade toward a horizontal normal off the XY
            // and YZ planes only roughly (to +-Z), and its tip leans 45 degrees beyond its
            // axis; there alone the tip may point in.
            if (std::abs(outward.y) > 1e-6) {
                EXPECT_GT(bladeTip(output, b).dot(outward), 0) << i;
            }
        }
        if (!follow) { // as many as lie below the equator, about
            EXPECT_GT(inward, 12);
        }
    }
}

// The plane y = 0.5 x + 0.25 z over [-2, 2] x [-2, 2], in n x n quads that face up.
void writeTiltedPlane(const std::string &file, int n)
{
    std::ofstream out(file);
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i) {
            const double x = -2 + 4.0 * i / n, z = -2 + 4.0 * j / n;
            out << "v " << x << " " << 0.5 * x + 0.25 * z << " " << z << "\n";
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int a = 1 + j * (n + 1) + i;
            out << "f " << a << " " << a + n + 1 << " " << a + n + 2 << " " << a + 1 << "\n";
        }
}

TEST_F(EndToEnd, FollowSurfaceTiltsScatteredBladesTowardATiltedPlane)
{
    writeTiltedPlane(path("plane.obj"), 4);
    const V normal = V{-0.5, 1, -0.25}.unit();
    host::Object plane;
    meshio::readMesh(path("plane.obj"), plane, 1);
    const host::LayerMesh &input = plane.findLayer(1)->mesh;
    for (const bool follow : {false, true}) {
        SCOPED_TRACE(follow ? "--follow-surface" : "upright");
        ASSERT_EQ(tuftsprout("plant " + path("plane.obj") + " -o " + path("lawn.obj") + " --scatter 100 --clock 1" +
                             (follow ? " --follow-surface" : "")),
                  0);
        host::Object lawn;
        meshio::readMesh(path("lawn.obj"), lawn, 1);
        const host::LayerMesh &output = lawn.findLayer(1)->mesh;
        // Neither the scattered points nor the triangles planted on are left.
        ASSERT_EQ(output.pointCount(), input.pointCount() + 11 * 100);
        ASSERT_EQ(output.polygonCount(), input.polygonCount() + 5 * 100);
        for (std::size_t k = 0; k < 100; ++k) {
            const std::size_t b = input.pointCount() + 11 * k;
            EXPECT_NEAR(bladeBase(output, b).dot(normal), 0, 1e-9) << k; // on the plane
            if (follow) {
                EXPECT_GT(bladeAxis(output, b).dot(normal), 0.99) << k;
                EXPECT_GT(bladeTip(output, b).dot(normal), 0) << k;
            } else {
                EXPECT_NEAR(bladeAxis(output, b).y, 1, 1e-9) << k;
            }
        }
    }
}

TEST_F(EndToEnd, WeightsFromAPlyPropertySizeThePointBlades)
{
    const float weights[6] = {0, 0.5f, -1, 1, 2, 0};
    {
        std::ofstream out(path("field.ply"));
        out << "ply\nformat ascii 1.0\nelement vertex 6\nproperty float x\nproperty float y\nproperty float z\n"
               "property float ZTSW\nend_header\n";
        for (int i = 0; i < 6; ++i)
            out << i << " 0 " << -i << " " << weights[i] << "\n";
    }
    ASSERT_EQ(tuftsprout("plant " + path("field.ply") + " -o " + path("meadow.ply") +
                         " --mode point --select points:all --set \"(WeightMap)=on\""),
              0);
    host::Object meadow;
    meshio::readMesh(path("meadow.ply"), meadow, 1);
    const host::LayerMesh &mesh = meadow.findLayer(1)->mesh;
    ASSERT_EQ(mesh.pointCount(), 6u + 3 * 11);
    const int planted[3] = {1, 3, 4};
    for (int k = 0; k < 3; ++k) {
        const std::size_t b = 6 + 11 * k;
        const V base = (at(mesh, b + 9) + at(mesh, b + 10)) * 0.5;
        EXPECT_NEAR((base - V{double(planted[k]), 0, -double(planted[k])}).length(), 0, 1e-9);
        // The tip stands 0.6 (Size 0.4) above its point, times the weight.
        EXPECT_NEAR(at(mesh, b).y, 0.6 * weights[planted[k]], 1e-6) << k;
    }
    // With no polygon to follow, the blades face +Y: Polygon mode then plants what Point
    // mode does, the host sizing them by the same weights.
    ASSERT_EQ(tuftsprout("plant " + path("field.ply") + " -o " + path("followed.ply") +
                         " --mode point --select points:all --set \"(WeightMap)=on\" --follow-surface"),
              0);
    host::Object followed;
    meshio::readMesh(path("followed.ply"), followed, 1);
    const host::LayerMesh &same = followed.findLayer(1)->mesh;
    ASSERT_EQ(same.pointCount(), mesh.pointCount());
    ASSERT_EQ(same.polygonCount(), mesh.polygonCount());
    for (std::size_t i = 0; i < mesh.pointCount(); ++i)
        EXPECT_NEAR((at(same, i) - at(mesh, i)).length(), 0, 1e-6) << i;
}

// A closed box `height` tall on a 1 x 1 base, its faces wound outward.
void writeBox(const std::string &file, double height)
{
    std::ofstream out(file);
    out.precision(17);
    for (double y : {0.0, height})
        out << "v 0 " << y << " 0\nv 1 " << y << " 0\nv 1 " << y << " 1\nv 0 " << y << " 1\n";
    out << "f 1 2 3 4\nf 5 8 7 6\nf 1 5 6 2\nf 2 6 7 3\nf 3 7 8 4\nf 4 8 5 1\n";
}

TEST_F(EndToEnd, BladeHeightSizesTheBladesForTheModel)
{
    // A model in tenths and one in hundreds: the blades are 5 % of each.
    for (double height : {0.15, 274.0}) {
        writeBox(path("box.obj"), height);
        ASSERT_EQ(tuftsprout("plant " + path("box.obj") + " -o " + path("furry.obj") +
                             " --mode point --select points:all --blade-height 5% --set \"P3(y)=90\" --clock 7"),
                  0)
            << height;
        host::Object furry;
        meshio::readMesh(path("furry.obj"), furry, 1);
        const host::LayerMesh &mesh = furry.findLayer(1)->mesh;
        ASSERT_EQ(mesh.pointCount(), 8u + 8 * 11);
        for (std::size_t b = 8; b < mesh.pointCount(); b += 11) {
            const V base = (at(mesh, b + 9) + at(mesh, b + 10)) * 0.5;
            EXPECT_NEAR(at(mesh, b).y - base.y, 0.05 * height, 1e-9 * height) << height << " " << b;
        }
    }
    // In the file's units, and a share of the field in Ground mode.
    const auto tallest = [&](const std::string &options) {
        EXPECT_EQ(tuftsprout("plant -o " + path("lawn.obj") + " --clock 3 " + options), 0) << options;
        host::Object lawn;
        meshio::readMesh(path("lawn.obj"), lawn, 1);
        double top = 0;
        for (std::size_t i = 0; i < lawn.findLayer(1)->mesh.pointCount(); ++i)
            top = std::max(top, lawn.findLayer(1)->mesh.position(i).y);
        return top;
    };
    EXPECT_NEAR(tallest("--blade-height 0.2 --set \"P2(y)=40\""), 0.2, 1e-12);
    // Roughness shrinks blades below the template's height, as it does at any Size.
    const double rough = tallest("--field 3 --blade-height 10% --roughness 50");
    EXPECT_LE(rough, 0.3 + 1e-12);
    EXPECT_GT(rough, 0.25);
    // A preset saved with the run keeps the Size the blades were planted with.
    EXPECT_EQ(tuftsprout("plant -o " + path("lawn.obj") + " --blade-height 1.2 --save-preset " + path("tall.zts")), 0);
    std::ifstream preset(path("tall.zts"));
    std::string heading, number, division, size;
    std::getline(preset, heading);
    std::getline(preset, number);
    std::getline(preset, division);
    std::getline(preset, size);
    EXPECT_NEAR(std::stod(size), 0.8, 1e-5); // the initial blade stands 1.5 times its Size
}

// The line that reports a planting says how many blades, how big, on how big an object;
// grass out of scale with its object is told, with what sizes it.
TEST_F(EndToEnd, TheSummarySaysHowBigTheBladesAreAndWarnsWhenOutOfScale)
{
    const auto log = [&] {
        std::ifstream in(path("log.txt"));
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const struct {
        double height;
        std::string options, said, warned;
    } cases[] = {
        {274, "--blade-height 5%", "(8 blades, 13.7 tall, on an object 274 across)", ""},
        {0.15, "", "(8 blades, 0.6 tall, on an object 1 across)", "are taller than half the object (1 across)"},
        {1000, "", "(8 blades, 0.6 tall, on an object 1000 across)",
         "are under a thousandth of the object (1000 across)"},
        {2, "--roughness 50", "blades, 0.", ""},
    };
    for (const auto &c : cases) {
        writeBox(path("box.obj"), c.height);
        ASSERT_EQ(tuftsprout("plant " + path("box.obj") + " -o " + path("furry.obj") +
                             " --mode point --select points:all --clock 7 " + c.options),
                  0);
        const std::string said = log();
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        if (c.warned.empty())
            EXPECT_EQ(said.find("warning"), std::string::npos) << said;
        else
            EXPECT_NE(
                said.find("warning: the blades (up to 0.6) " + c.warned + ": --blade-height 5% sizes them for it"),
                std::string::npos)
                << said;
    }
    EXPECT_EQ(tuftsprout("plant -o " + path("lawn.obj") + " --number 3 --clock 3"), 0);
    EXPECT_NE(log().find("(3 blades, 0.6 tall)"), std::string::npos) << log();
}

TEST_F(EndToEnd, BladeHeightsThatCannotBeMetAreUsageErrors)
{
    writeBox(path("box.obj"), 2);
    std::ofstream(path("flat.obj")) << "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"--blade-height abc", "\"abc\" is not a height above 0"},
        {"--blade-height 0", "\"0\" is not a height above 0"},
        {"--blade-height -5%", "\"-5%\" is not a height above 0"},
        {"--blade-height nan%", "\"nan%\" is not a height above 0"},
        {"--blade-height 5%%", "\"5%%\" is not a height above 0"},
        {path("box.obj") + " --bg-layer " + path("box.obj") + " --blade-height 1", "\"BGLayer Object\""},
        {path("flat.obj") + " --mode polygon --select polygons:all --blade-height 5%", "is flat (0 high)"},
        {"--field 0 --blade-height 5%", "the field has no size"},
        {"--set \"P3(y)=0.5\" --set \"P2(y)=0.5\" --blade-height 1", "no height to scale"}, // all at the base
    };
    for (const auto &c : cases) {
        EXPECT_EQ(WEXITSTATUS(tuftsprout("plant -o " + path("out.obj") + " " + c.arguments)), 2) << c.arguments;
        EXPECT_FALSE(fs::exists(path("out.obj"))) << c.arguments;
        std::ifstream log(path("log.txt"));
        const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.message), std::string::npos) << c.arguments << ": " << text;
    }
}

TEST_F(EndToEnd, ARefusedModeWritesNothing)
{
    std::ofstream(path("flat.obj")) << "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 3 2\n";
    EXPECT_EQ(WEXITSTATUS(tuftsprout("plant " + path("flat.obj") + " -o " + path("out.obj") +
                                     " --mode point --select polygons:all")),
              2);
    EXPECT_FALSE(fs::exists(path("out.obj")));
    std::ifstream log(path("log.txt"));
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Please, the Point select"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Mode\" back to  Ground"), std::string::npos) << text;
}

} // namespace
} // namespace tuft
