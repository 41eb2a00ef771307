// Mesh files in and out, and the selection from the command line.
#include "meshio/atomic_file.h"
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "meshio/parallel_text.h"
#include "app/plant_job.h"
#include "tests/scratch_directory.h"
#include "app/selection.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#include <cstring>

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

    // A quad and a triangle with a weight map and UVs.
    static host::Object sample()
    {
        host::Object object;
        host::Mesh &mesh = object.layer(1)->mesh;
        for (const host::Vec3 &p : {host::Vec3{0, 0, 0}, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0.5, 1, 0.25}})
            mesh.addPoint(p);
        const std::uint32_t quad[4] = {0, 1, 2, 3}, triangle[3] = {0, 1, 4};
        mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Ground"), quad, 4);
        mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Blade"), triangle, 3);
        host::PointMap &weight = mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_WEIGHT, "ZTSW", 1)), 1);
        for (int i = 0; i < 5; ++i) {
            weight.values[i] = 0.25f * i;
            weight.has[i] = 1;
        }
        host::PointMap &uv = mesh.mapFor(static_cast<std::uint32_t>(object.mapKey(MH_MAP_UV, "UV", 2)), 2);
        for (int i = 0; i < 5; ++i) {
            uv.values[2 * i] = 0.1f * i;
            uv.values[2 * i + 1] = 1 - 0.1f * i;
            uv.has[i] = 1;
        }
        return object;
    }

    testing::ScratchDirectory scratch{"meshio"};
    const fs::path &directory = scratch.path();
};

void expectSameGeometry(const host::Mesh &a, const host::Mesh &b)
{
    ASSERT_EQ(a.pointCount(), b.pointCount());
    ASSERT_EQ(a.polygonCount(), b.polygonCount());
    for (std::size_t i = 0; i < a.pointCount(); ++i) {
        EXPECT_EQ(a.positions[i].x, b.positions[i].x);
        EXPECT_EQ(a.positions[i].y, b.positions[i].y);
        EXPECT_EQ(a.positions[i].z, b.positions[i].z);
    }
    EXPECT_TRUE(a.vertices == b.vertices);
}

TEST_F(MeshFiles, PlyRoundTripsInBothEncodingsWithWeightsAndUvs)
{
    const host::Object original = sample();
    for (meshio::PlyEncoding encoding : {meshio::PlyEncoding::kBinary, meshio::PlyEncoding::kAscii}) {
        const std::string path = file(encoding == meshio::PlyEncoding::kAscii ? "text.ply" : "binary.ply");
        meshio::writeMesh(path, original, meshio::LayerChoice::kCurrent, encoding);
        host::Object back;
        meshio::readMesh(path, back, 1);
        expectSameGeometry(original.findLayer(1)->mesh, back.findLayer(1)->mesh);
        const long weightKey = back.findMapKey(MH_MAP_WEIGHT, "ZTSW");
        ASSERT_GE(weightKey, 0);
        const host::PointMap *weight = back.findLayer(1)->mesh.findMap(static_cast<std::uint32_t>(weightKey));
        ASSERT_NE(weight, nullptr);
        EXPECT_EQ(weight->values[4], 1.0f);
        const host::PointMap *uv =
            back.findLayer(1)->mesh.findMap(static_cast<std::uint32_t>(back.findMapKey(MH_MAP_UV, "UV")));
        ASSERT_NE(uv, nullptr);
        EXPECT_EQ(uv->values[2 * 3 + 1], 1 - 0.1f * 3);
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
    const host::Mesh &mesh = object.findLayer(1)->mesh;
    EXPECT_EQ(mesh.positions[2].y, 4.0);
    EXPECT_EQ(mesh.polygonCount(), 1u);
    EXPECT_EQ(object.findMapKey(MH_MAP_WEIGHT, "red"), -1);
    EXPECT_GE(object.findMapKey(MH_MAP_UV, "UV"), 0);
}

TEST_F(MeshFiles, BadPlyFilesNameTheFileAndThePlace)
{
    const std::string header = "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\n"
                               "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n";
    EXPECT_NE(readError(file("index.ply", header + "0 0 0\n1 0 0\n3 0 1 2\n")).find("index.ply: line 12: face 0"),
              std::string::npos);
    EXPECT_NE(readError(file("short.ply", header + "0 0 0\n")).find("ends early"), std::string::npos);
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
    const host::Mesh &mesh = object.findLayer(1)->mesh;
    ASSERT_EQ(mesh.pointCount(), 2u);
    EXPECT_EQ(mesh.positions[1].x, 5.0);
    EXPECT_EQ(mesh.positions[1].z, 8.0);
    const host::PointMap *w = mesh.findMap(static_cast<std::uint32_t>(object.findMapKey(MH_MAP_WEIGHT, "w")));
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->values.size(), 2u);
    EXPECT_EQ(w->values[1], 0.25f);
}

TEST_F(MeshFiles, ObjKeepsPolygonsAndGroupsAndChecksIndices)
{
    const host::Object original = sample();
    const std::string path = file("round.obj");
    meshio::writeMesh(path, original, meshio::LayerChoice::kCurrent);
    host::Object back;
    meshio::readMesh(path, back, 1);
    expectSameGeometry(original.findLayer(1)->mesh, back.findLayer(1)->mesh);
    EXPECT_EQ(back.surfaceName(back.findLayer(1)->mesh.polygons[1].surface), "Blade");
    EXPECT_NE(readError(file("past.obj", "v 0 0 0\nv 1 0 0\nf 1 2 3\n")).find("refers to point 3"), std::string::npos);
    const std::string before = readError(file("before.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf -4 1 2\n"));
    EXPECT_NE(before.find("before.obj"), std::string::npos) << before;
    EXPECT_NE(before.find("refers to point"), std::string::npos) << before;
}

TEST_F(MeshFiles, AFailedWriteKeepsTheOldFile)
{
    const std::string path = file("keep.obj", "old content\n");
    host::Object object = sample();
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
    EXPECT_EQ(files, 1u);
}

TEST_F(MeshFiles, LargeFilesArriveWhole)
{
    // Pieces of every size, across many blocks, ending part way into one.
    std::string expected;
    std::uint32_t state = 12345;
    while (expected.size() < (13u << 20) + 123) {
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
    host::Mesh &mesh = object.layer(1)->mesh;
    for (int i = 0; i <= 100000; ++i)
        mesh.addPoint({0.5 * i, 0, 0});
    const std::uint32_t triangle[3] = {0, 99999, 100000};
    mesh.addPolygon(MH_POLY_FACE, object.surfaceIndex("Default"), triangle, 3);
    const std::string path = file("indices.ply");
    meshio::writeMesh(path, object, meshio::LayerChoice::kCurrent, meshio::PlyEncoding::kAscii);
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line))
        last = line;
    EXPECT_EQ(last, "3 0 99999 100000");
    host::Object back;
    meshio::readMesh(path, back, 1);
    expectSameGeometry(mesh, back.findLayer(1)->mesh);
}

TEST_F(MeshFiles, WritersTellHowFarTheyHaveCome)
{
    host::Object object = sample(); // 5 points with UVs, 2 polygons
    host::Mesh &mesh = object.layer(1)->mesh;
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
    host::Object object = sample();
    object.layer(2)->mesh.addPoint({9, 9, 9});
    object.layer(3); // empty: not written
    EXPECT_EQ(meshio::writeMesh(file("one.obj"), object, meshio::LayerChoice::kCurrent).points, 5u);
    EXPECT_EQ(meshio::writeMesh(file("all.obj"), object, meshio::LayerChoice::kAll).points, 6u);
}

TEST(ParallelText, TheSameBytesWhateverTheThreads)
{
    const auto format = [](std::size_t first, std::size_t end, meshio::TextAppender &out) {
        for (std::size_t i = first; i < end; ++i) {
            out.number(i * 0.1);
            out.character(i % 7 == 0 ? '\n' : ' ');
        }
    };
    std::vector<std::string> results;
    for (std::size_t count : {0, 1, 99, 10007}) {
        std::vector<std::string> results;
        for (std::size_t threads : {1, 2, 3, 8}) {
            std::string all;
            meshio::formatInChunks(count, 100, format, [&](std::string_view text, std::size_t) { all += text; }, threads);
            results.push_back(all);
        }
        for (const std::string &result : results)
            EXPECT_EQ(result, results[0]);
        // Every item once: each ends in a separator.
        EXPECT_EQ(std::count_if(results[0].begin(), results[0].end(), [](char c) { return c == ' ' || c == '\n'; }),
                  static_cast<std::ptrdiff_t>(count));
    }
}

TEST(ParallelText, WhatFormattingOrWritingThrowsComesBack)
{
    const auto format = [](std::size_t first, std::size_t end, meshio::TextAppender &out) {
        if (first == 500)
            throw std::runtime_error("no room");
        for (std::size_t i = first; i < end; ++i)
            out.character('x');
    };
    for (std::size_t threads : {1, 2, 8}) {
        std::size_t written = 0;
        EXPECT_THROW(meshio::formatInChunks(10000, 100, format, [&](std::string_view text, std::size_t) { written += text.size(); },
                                            threads),
                     std::runtime_error);
        EXPECT_LE(written, 500u); // nothing after the chunk that failed
        const auto refuse = [](std::string_view, std::size_t) { throw std::runtime_error("disk full"); };
        EXPECT_THROW(meshio::formatInChunks(10000, 100, [](std::size_t, std::size_t, meshio::TextAppender &) {}, refuse,
                                            threads),
                     std::runtime_error);
    }
}

TEST(Selection, SpecsSelectWhatTheyName)
{
    host::Object object = MeshFiles::sample();
    const host::Mesh &mesh = object.findLayer(1)->mesh;
    app::applySelection(object, 1, "points:0,2-3");
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPoints);
    EXPECT_EQ(std::vector<int>(mesh.pointFlags.begin(), mesh.pointFlags.end()), (std::vector<int>{1, 0, 1, 1, 0}));
    app::applySelection(object, 1, "polygons:group:Blade");
    EXPECT_EQ(object.selectionMode, host::SelectionMode::kPolygons);
    EXPECT_EQ(mesh.polygons[0].flags, 0);
    EXPECT_EQ(mesh.polygons[1].flags, 1);
    app::applySelection(object, 1, "points:group:Blade");
    EXPECT_EQ(std::vector<int>(mesh.pointFlags.begin(), mesh.pointFlags.end()), (std::vector<int>{1, 1, 0, 0, 1}));
    app::applySelection(object, 1, "polygons:all");
    EXPECT_EQ(mesh.polygons[0].flags, 1);
}

TEST(Selection, BadSpecsSayWhatIsWrong)
{
    host::Object object = MeshFiles::sample();
    const auto message = [&](const std::string &request) {
        try {
            app::applySelection(object, 1, request);
        } catch (const app::UsageError &error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_NE(message("points:7").find("point 7 does not exist (the layer has 5)"), std::string::npos);
    EXPECT_NE(message("points:3-1").find("runs backwards"), std::string::npos);
    EXPECT_NE(message("points:x").find("\"x\" is not an index"), std::string::npos);
    EXPECT_NE(message("edges:all").find("points:WHICH or polygons:WHICH"), std::string::npos);
    EXPECT_NE(message("polygons:group:Sky").find("no polygon belongs to the group \"Sky\""), std::string::npos);
}

} // namespace
} // namespace tuft
