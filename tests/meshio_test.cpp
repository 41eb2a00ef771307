// Mesh files in and out.
#include "host/surface_colours.h"
#include "meshio/atomic_file.h"
#include "meshio/meshio.h"
#include "meshio/parallel_text.h"
#include "sdk/modeler_host.h"
#include "tests/sample_object.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <gtest/gtest.h>

namespace tuft {
namespace {

namespace fs = std::filesystem;

class MeshFiles : public ::testing::Test {
public:
    std::string file(const std::string &name, const std::string &content = "") const
    {
        const std::string path = scratch / name;
        if (!content.empty())
            std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    std::string readError(const std::string &path)
    {
        host::Object object;
        try {
            meshio::readMesh(path, object, 1);
        } catch (const meshio::MeshIoError &error) {
            EXPECT_TRUE(object.findLayer(1) == nullptr || object.findLayer(1)->mesh.empty());
            return error.what();
        }
        return "";
    }

    testing::ScratchDirectory scratch{"meshio"};
    const fs::path &directory = scratch.path();
};

void expectSameGeometry(const host::LayerMesh &a, const host::LayerMesh &b)
{
    ASSERT_EQ(a.pointCount(), b.pointCount());
    ASSERT_EQ(a.polygonCount(), b.polygonCount());
    for (std::size_t i = 0; i < a.pointCount(); ++i) {
        EXPECT_EQ(a.position(i).x, b.position(i).x);
        EXPECT_EQ(a.position(i).y, b.position(i).y);
        EXPECT_EQ(a.position(i).z, b.position(i).z);
    }
    ASSERT_EQ(a.cornerCount(), b.cornerCount());
    for (std::size_t i = 0; i < a.cornerCount(); ++i)
        EXPECT_EQ(a.cornerPoint(i), b.cornerPoint(i));
}

TEST_F(MeshFiles, PlyRoundTripsInBothEncodingsWithWeightsUvsAndSurfaces)
{
    host::Object original = testing::sampleObject();
    // A third polygon on the blades' surface, planted without a name: it is "Grass".
    const std::uint32_t grass[3] = {1, 2, 4};
    original.layer(1)->mesh.addPolygon(MH_POLY_FACE, original.surfaceIndex(""), grass, 3);
    for (meshio::PlyEncoding encoding : {meshio::PlyEncoding::kBinary, meshio::PlyEncoding::kAscii}) {
        const std::string path = file(encoding == meshio::PlyEncoding::kAscii ? "text.ply" : "binary.ply");
        meshio::writeMesh(path, original, meshio::LayerChoice::kCurrent, encoding);
        host::Object back;
        meshio::readMesh(path, back, 1);
        expectSameGeometry(original.findLayer(1)->mesh, back.findLayer(1)->mesh);
        const long weightKey = back.findMapKey(MH_MAP_WEIGHT, "ZTSW");
        ASSERT_GE(weightKey, 0);
        const host::LayerMesh &read = back.findLayer(1)->mesh;
        const float *weight = read.pointValue(static_cast<std::uint32_t>(weightKey), 4);
        ASSERT_NE(weight, nullptr);
        EXPECT_EQ(*weight, 1.0f);
        const float *uv = read.pointValue(static_cast<std::uint32_t>(back.findMapKey(MH_MAP_UV, "UV")), 3);
        ASSERT_NE(uv, nullptr);
        EXPECT_EQ(uv[1], 1 - 0.1f * 3);
        // Every face on its surface, by name, in its colour (as a byte).
        const host::LayerMesh &mesh = back.findLayer(1)->mesh;
        const char *const names[] = {"Ground", "Blade", "Grass"};
        for (std::size_t p = 0; p < 3; ++p) {
            const std::string &name = back.surfaceName(mesh.polygon(p).surface);
            EXPECT_EQ(name, names[p]);
            const float *rgb = host::surfaceColour(original, original.findLayer(1)->mesh.polygon(p).surface, {""});
            ASSERT_EQ(back.materials.count(name), 1u) << name;
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(back.materials.at(name).diffuse[c], rgb[c], 0.501 / 255) << name << " " << c;
        }
    }
}

TEST_F(MeshFiles, PlyReadsBigEndianAndUvNamedUV)
{
    std::string data = "ply\nformat binary_big_endian 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                       "property float z\nproperty float u\nproperty float v\nproperty uchar red\n"
                       "element face 1\nproperty list uchar int vertex_indices\nend_header\n";
    const auto bigFloat = [&](float f) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            data.push_back(static_cast<char>(bits >> shift));
    };
    for (int i = 0; i < 3; ++i) {
        for (float f : {float(i), 2.0f * i, 0.0f, 0.5f, 0.25f})
            bigFloat(f);
        data.push_back(char(200)); // a colour, not a weight map
    }
    data.push_back(3);
    for (int index : {0, 1, 2})
        for (int shift = 24; shift >= 0; shift -= 8)
            data.push_back(static_cast<char>(index >> shift));
    host::Object object;
    meshio::readMesh(file("big.ply", data), object, 1);
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    EXPECT_EQ(mesh.position(2).y, 4.0);
    EXPECT_EQ(mesh.polygonCount(), 1u);
    EXPECT_EQ(object.findMapKey(MH_MAP_WEIGHT, "red"), -1);
    EXPECT_GE(object.findMapKey(MH_MAP_UV, "UV"), 0);
}

TEST_F(MeshFiles, EveryTruncatedBinaryPlyIsRefusedWithoutHarm)
{
    const std::string path = file("whole.ply");
    meshio::writeMesh(path, testing::sampleObject(), meshio::LayerChoice::kCurrent);
    std::ifstream in(path, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (std::size_t length = 0; length < whole.size(); ++length) {
        const std::string error = readError(file("cut.ply", whole.substr(0, length) + (length == 0 ? " " : "")));
        EXPECT_NE(error.find("cut.ply"), std::string::npos) << length << ": " << error;
    }
}

TEST_F(MeshFiles, PlyKeepsNormalsEveryUvPairAndFaceSurfacesAndTellsWhatItCannot)
{
    const std::string path =
        file("rich.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                         "property float y\nproperty float z\nproperty float nx\nproperty float ny\n"
                         "property float nz\nproperty float u\nproperty float v\n"
                         "property float texture_u\nproperty float texture_v\nproperty uchar red\n"
                         "element face 2\nproperty list uchar int vertex_indices\n"
                         "property int material_index\nproperty uchar red\nend_header\n"
                         "0 0 0 0 1 0 0.1 0.2 0.5 0.6 255\n1 0 0 0 1 0 0.3 0.4 0.7 0.8 0\n"
                         "0 0 1 0 0 1 0.5 0.6 0.9 1 9\n3 0 2 1 4 7\n3 0 1 2 0 7\n");
    host::Object object;
    const meshio::ReadWarnings warnings = meshio::readMesh(path, object, 1);
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    // A point's value in the map of that type and name; null for none.
    const auto value = [&](std::uint32_t type, const char *name, std::uint32_t point) -> const float * {
        const long key = object.findMapKey(type, name);
        return key < 0 ? nullptr : mesh.pointValue(static_cast<std::uint32_t>(key), point);
    };
    ASSERT_NE(value(host::kNormalMap, "Normal", 2), nullptr);
    EXPECT_EQ(value(host::kNormalMap, "Normal", 2)[2], 1.0f);
    ASSERT_NE(value(MH_MAP_UV, "UV2", 1), nullptr);
    EXPECT_EQ(value(MH_MAP_UV, "UV", 1)[1], 0.4f);
    EXPECT_EQ(value(MH_MAP_UV, "UV2", 1)[1], 0.8f);
    EXPECT_EQ(object.findMapKey(MH_MAP_WEIGHT, "red"), -1); // a colour byte is no weight
    EXPECT_EQ(object.surfaceName(mesh.polygon(0).surface), "Surface 4");
    EXPECT_EQ(object.surfaceName(mesh.polygon(1).surface), "Surface 0");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find("rich.ply: the vertex properties red not read"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find("rich.ply: the face properties red not read"), std::string::npos) << warnings[1];
}

TEST_F(MeshFiles, UvMapsMergeIntoOneChannelAndDisagreementsAreTold)
{
    host::Object object = testing::sampleObject();
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    host::PointMap &blades =
        mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_UV, "Blades", 2)), MH_MAP_UV, 2);
    for (int i = 0; i < 5; ++i)
        blades.values[2 * i] = 0.5f; // the same u as "UV" on point 0 only
    blades.has[0] = blades.has[4] = 1;
    const meshio::WrittenCounts written = meshio::writeMesh(file("merged.obj"), object, meshio::LayerChoice::kCurrent);
    ASSERT_EQ(written.warnings.size(), 1u);
    EXPECT_NE(written.warnings[0].find("\"UV\" and \"Blades\" give some points different values; \"UV\""),
              std::string::npos);
    // Alone, a map is written as it stands: points without a value get 0, 0.
    meshio::WriteOptions options;
    options.uvMap = "Blades";
    EXPECT_TRUE(meshio::writeMesh(file("alone.obj"), object, options).warnings.empty());
    std::ifstream alone(file("alone.obj"));
    const std::string text((std::istreambuf_iterator<char>(alone)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("vt 0.5 0\nvt 0.5 0\nvt 0 0\ng"), std::string::npos) << text;
    options.uvMap = "Nothing";
    EXPECT_THROW(meshio::writeMesh(file("none.obj"), object, options), meshio::MeshIoError);
}

TEST_F(MeshFiles, PlyTriangleStripsReadAsTrianglesOfOneWinding)
{
    // A zigzag in the XZ plane: two strips split by -1, the last triangle degenerate.
    const std::string path =
        file("strips.ply", "ply\nformat ascii 1.0\nelement vertex 5\nproperty float x\nproperty float y\n"
                           "property float z\nelement tristrips 1\nproperty list int int vertex_indices\n"
                           "property int material_index\nend_header\n0 0 0\n0 0 1\n1 0 0\n1 0 1\n2 0 0\n"
                           "9 0 1 2 3 -1 2 3 4 4 3\n");
    host::Object object;
    EXPECT_TRUE(meshio::readMesh(path, object, 1).empty());
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    ASSERT_EQ(mesh.polygonCount(), 3u);
    const std::vector<std::vector<std::uint32_t>> expected = {{0, 1, 2}, {2, 1, 3}, {2, 3, 4}};
    for (std::uint32_t p = 0; p < 3; ++p) {
        const host::PolygonPoints points = mesh.pointsOf(p);
        EXPECT_EQ(std::vector<std::uint32_t>(points.begin(), points.end()), expected[p]) << p;
        const std::optional<host::Vec3> normal = host::polygonNormal(mesh, p);
        ASSERT_TRUE(normal);
        EXPECT_EQ(normal->y, 1.0) << p;
        EXPECT_EQ(object.surfaceName(mesh.polygon(p).surface), "Surface 3");
    }
    // Polygons in an element no reader here knows are refused, not dropped.
    const std::string other =
        readError(file("quads.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                                    "property float z\nelement quads 1\nproperty list uchar int vertex_indices\n"
                                    "end_header\n0 0 0\n1 0 0\n0 0 1\n3 0 1 2\n"));
    EXPECT_NE(other.find("quads.ply: the \"quads\" element lists vertex indices"), std::string::npos) << other;
    // A -1 restarts only strips; in a face it is an index out of range.
    EXPECT_NE(readError(file("minus.ply", "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\n"
                                          "property float y\nproperty float z\nelement face 1\n"
                                          "property list uchar int vertex_indices\nend_header\n0 0 0\n1 0 0\n"
                                          "0 0 1\n3 0 -1 2\n"))
                  .find("vertex index -1 is outside"),
              std::string::npos);
}

TEST_F(MeshFiles, BadPlyFilesNameTheFileAndThePlace)
{
    const std::string header = "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
                               "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
    EXPECT_NE(readError(file("index.ply", header + "0 0 0\n1 0 0\n3 0 1 2\n")).find("index.ply: line 12: face 0"),
              std::string::npos);
    // (Blank lines, which hold no values, make up the bytes the header's counts need.)
    EXPECT_NE(readError(file("short.ply", header + "0 0 0\n" + std::string(10, '\n'))).find("ends early"),
              std::string::npos);
    EXPECT_NE(readError(file("word.ply", header + "0 0 zero\n1 0 0\n2 0 1\n")).find("\"zero\" is not a number"),
              std::string::npos);
    EXPECT_NE(readError(file("type.ply", "ply\nformat ascii 1.0\nelement vertex 1\nproperty quad x\nend_header\n"))
                  .find("header line 4: unknown type \"quad\""),
              std::string::npos);
    EXPECT_NE(readError(file("huge.ply", "ply\nformat binary_little_endian 1.0\nelement vertex 4000000000\n"
                                         "property float x\nproperty float y\nproperty float z\nend_header\n"))
                  .find("more than the file holds"),
              std::string::npos);
    EXPECT_NE(readError(file("nope.ply", "solid x\n")).find("not a PLY file"), std::string::npos);
}

TEST_F(MeshFiles, RepeatedPropertyNamesCountOnce)
{
    host::Object object;
    meshio::readMesh(std::string(TUFT_FIXTURES) + "/repeated-property.ply", object, 1);
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    ASSERT_EQ(mesh.pointCount(), 2u);
    EXPECT_EQ(mesh.position(1).x, 5.0);
    EXPECT_EQ(mesh.position(1).z, 8.0);
    const float *w = mesh.pointValue(static_cast<std::uint32_t>(object.findMapKey(MH_MAP_WEIGHT, "w")), 1);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(*w, 0.25f);
}

// Every point's value in the map named "UV", or -1, -1 where it has none.
std::vector<float> uvsOf(const host::Object &object)
{
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    std::vector<float> uvs(2 * mesh.pointCount(), -1.0f);
    const long key = object.findMapKey(MH_MAP_UV, "UV");
    for (std::uint32_t i = 0; key >= 0 && i < mesh.pointCount(); ++i)
        if (const float *value = mesh.pointValue(static_cast<std::uint32_t>(key), i)) {
            uvs[2 * i] = value[0];
            uvs[2 * i + 1] = value[1];
        }
    return uvs;
}

TEST_F(MeshFiles, ObjRoundTripKeepsPolygonsGroupsAndUvsAndChecksIndices)
{
    const host::Object original = testing::sampleObject();
    const std::string path = file("round.obj");
    meshio::writeMesh(path, original, meshio::LayerChoice::kCurrent);
    host::Object back;
    meshio::readMesh(path, back, 1);
    expectSameGeometry(original.findLayer(1)->mesh, back.findLayer(1)->mesh);
    EXPECT_EQ(uvsOf(back), uvsOf(original));
    EXPECT_EQ(back.surfaceName(back.findLayer(1)->mesh.polygon(1).surface), "Blade");
    EXPECT_NE(readError(file("past.obj", "v 0 0 0\nv 1 0 0\nf 1 2 3\n")).find("refers to point 3"), std::string::npos);
    const std::string before = readError(file("before.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf -4 1 2\n"));
    EXPECT_NE(before.find("before.obj"), std::string::npos) << before;
    EXPECT_NE(before.find("refers to point"), std::string::npos) << before;
}

#ifndef _WIN32 // a file size limit is a POSIX resource limit
TEST_F(MeshFiles, AFailedWriteKeepsTheOldFile)
{
    const std::string path = file("keep.obj", "old content\n");
    host::Object object = testing::sampleObject();
    for (int i = 0; i < 2000; ++i)
        object.layer(1)->mesh.addPoint({0.1 * i, 0.2 * i, 0.3 * i});
    // A file size limit makes the write fail part way, whoever runs the test.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous;
    getrlimit(RLIMIT_FSIZE, &previous);
    rlimit small = previous;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(meshio::writeMesh(path, object, meshio::LayerChoice::kCurrent), meshio::MeshIoError);
    EXPECT_THROW(meshio::writeMesh(file("new.ply"), object, meshio::LayerChoice::kCurrent), meshio::MeshIoError);
    // A large file fails in the helper thread that writes its full blocks.
    for (int i = 0; i < 400000; ++i)
        object.layer(1)->mesh.addPoint({0.1 * i, 0.2 * i, 0.3 * i});
    small.rlim_cur = 6 << 20;
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_THROW(meshio::writeMesh(path, object, meshio::LayerChoice::kCurrent), meshio::MeshIoError);
    setrlimit(RLIMIT_FSIZE, &previous);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "old content\n");
    // Neither a half file nor a temporary one is left behind.
    std::size_t files = 0;
    for (const auto &entry : fs::directory_iterator(directory))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 1u) << [&] {
        std::string names;
        for (const auto &entry : fs::directory_iterator(directory))
            names += entry.path().filename().string() + " ";
        return names;
    }();
}
#endif

TEST_F(MeshFiles, LargeFilesArriveWhole)
{
    // Pieces of every size, across many blocks and past the first flush to the disk
    // while writing goes on, ending part way into a block.
    std::string expected;
    std::uint32_t state = 12345;
    while (expected.size() < (77u << 20) + 123) {
        state = state * 1664525u + 1013904223u;
        expected.append(state % 70000, static_cast<char>('a' + state % 26));
    }
    const std::string path = file("large.bin");
    {
        meshio::AtomicFile out(path);
        for (std::size_t at = 0, piece = 1; at < expected.size(); at += piece, piece = piece * 7 % 100003 + 1)
            out.write(expected.data() + at, std::min(piece, expected.size() - at));
        out.commit();
    }
    std::ifstream in(path, std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
}

TEST_F(MeshFiles, PlyTextWritesIndicesAsWholeNumbers)
{
    host::Object object;
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (int i = 0; i <= 100000; ++i)
        mesh.addPoint({0.5 * i, 0, 0});
    const std::uint32_t triangle[3] = {0, 99999, 100000};
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Default"), triangle, 3);
    const std::string path = file("indices.ply");
    meshio::writeMesh(path, object, meshio::LayerChoice::kCurrent, meshio::PlyEncoding::kAscii);
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\n3 0 99999 100000 0\n"), std::string::npos); // its surface, the file's material 0
    host::Object back;
    meshio::readMesh(path, back, 1);
    expectSameGeometry(object.findLayer(1)->mesh, back.findLayer(1)->mesh);
}

TEST_F(MeshFiles, WritersTellHowFarTheyHaveCome)
{
    host::Object object = testing::sampleObject(); // 5 points with UVs, 2 polygons
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t point = mesh.addPoint({0.5 * i, 1, 2});
        mesh.addPolygon(MH_POLY_FACE, 0, &point, 1);
    }
    const std::uint64_t points = mesh.pointCount(), polygons = mesh.polygonCount();
    const struct {
        const char *name;
        meshio::PlyEncoding encoding;
        std::uint64_t total;
    } files[] = {{"progress.obj", meshio::PlyEncoding::kBinary, 2 * points + polygons}, // points, UVs, polygons
                 {"progress.ply", meshio::PlyEncoding::kBinary, points + polygons},
                 {"text.ply", meshio::PlyEncoding::kAscii, points + polygons}};
    for (const auto &expected : files) {
        std::vector<std::uint64_t> reports;
        meshio::writeMesh(file(expected.name), object, meshio::LayerChoice::kCurrent, expected.encoding,
                          [&](std::uint64_t done, std::uint64_t total) {
                              EXPECT_EQ(total, expected.total) << expected.name;
                              reports.push_back(done);
                          });
        ASSERT_FALSE(reports.empty()) << expected.name;
        EXPECT_TRUE(std::is_sorted(reports.begin(), reports.end())) << expected.name;
        EXPECT_EQ(reports.back(), expected.total) << expected.name;
        EXPECT_LE(reports.size(), 20u) << expected.name; // now and then, not per element
    }
}

TEST_F(MeshFiles, AllLayersOrJustTheCurrentOne)
{
    host::Object object = testing::sampleObject();
    object.layer(2)->mesh.addPoint({9, 9, 9});
    object.layer(3); // empty: not written
    EXPECT_EQ(meshio::writeMesh(file("one.obj"), object, meshio::LayerChoice::kCurrent).points, 5u);
    EXPECT_EQ(meshio::writeMesh(file("all.obj"), object, meshio::LayerChoice::kAll).points, 6u);
}

} // namespace
} // namespace tuft
