// Hostile input, by class of fault: every reader bounded and strict, every refusal
// naming the file and the place, nothing added to the object by a refused file.
#include "meshio/formats.h"
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "tests/sample_object.h"
#include "tests/scratch_directory.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#ifdef _WIN32
#include <windows.h>
// (after windows.h, which it needs)
#include <psapi.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <gtest/gtest.h>

namespace tuft {
namespace {

namespace fs = std::filesystem;

class HostileInput : public ::testing::Test {
public:
    std::string file(const std::string &name, const std::string &content) const
    {
        const std::string path = scratch / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static std::string fixture(const std::string &name) { return std::string(TUFT_FIXTURES) + "/hostile/" + name; }

    // The refusal's message; "" when the file was read. A refused file adds nothing.
    static std::string refusal(const std::string &path)
    {
        host::Object object;
        try {
            meshio::readMesh(path, object, 1);
        } catch (const meshio::MeshIoError &error) {
            EXPECT_TRUE(object.findLayer(1) == nullptr || object.findLayer(1)->mesh.empty()) << path;
            return error.what();
        }
        return "";
    }

    // What reading the file costs: the largest resident size, in bytes, of a process that
    // reads it (on Windows, how much the process's peak of committed memory grows while it
    // reads), and the processor time it takes (user and system, whatever else the machine
    // is doing).
    struct Cost {
        long long peakBytes;
        double cpuSeconds;
    };
    static Cost readingCost(const std::string &path)
    {
#ifdef _WIN32
        const auto peak = [] {
            PROCESS_MEMORY_COUNTERS counters{};
            GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
            return static_cast<long long>(counters.PeakPagefileUsage);
        };
        const auto cpu = [] {
            FILETIME created, exited, kernel, user;
            GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
            const auto seconds = [](const FILETIME &t) {
                return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e7;
            };
            return seconds(kernel) + seconds(user);
        };
        const long long before = peak();
        const double started = cpu();
        refusal(path);
        return {peak() - before, cpu() - started};
#else
        // The child's peak beyond what it started with (the test's own memory, which a
        // sanitizer's allocator keeps resident), sent back through a pipe.
        int channel[2];
        constexpr long long kUnknown = std::numeric_limits<long long>::max(); // fails every bound
        if (pipe(channel) != 0)
            return {kUnknown, 0};
        const pid_t child = fork();
        if (child == 0) {
            long pages = 0, resident = 0;
            std::ifstream("/proc/self/statm") >> pages >> resident;
            refusal(path);
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const long long grown = usage.ru_maxrss * 1024LL - resident * sysconf(_SC_PAGESIZE);
            const ssize_t sent = write(channel[1], &grown, sizeof grown);
            _exit(sent == sizeof grown ? 0 : 1);
        }
        close(channel[1]);
        long long grown = kUnknown;
        const ssize_t got = read(channel[0], &grown, sizeof grown);
        close(channel[0]);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        const auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return {got == sizeof grown ? grown : kUnknown, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
#endif
    }
    static long long peakBytesReading(const std::string &path) { return readingCost(path).peakBytes; }

    testing::ScratchDirectory scratch{"hostile"};
};

struct Case {
    std::string file;    // a fixture, or a name for `content`
    std::string content; // empty: the fixture as it stands
    std::string message; // what the refusal says, after the file's name
};

void expectRefusals(HostileInput &test, const std::vector<Case> &cases)
{
    for (const Case &c : cases) {
        const std::string path = c.content.empty() ? HostileInput::fixture(c.file) : test.file(c.file, c.content);
        const std::string message = HostileInput::refusal(path);
        EXPECT_EQ(message.rfind(path, 0), 0u) << "the message does not start with the file: " << message;
        EXPECT_NE(message.find(c.message), std::string::npos) << c.file << ": " << message;
    }
}

TEST_F(HostileInput, CountsAreCheckedAgainstWhatTheFileHolds)
{
    expectRefusals(
        *this,
        {
            {"ascii-count-beyond-the-data.ply", "", "declares 500000000 vertex elements, more than the file holds"},
            {"binary-count-beyond-the-data.ply", "", "declares 2147483648 vertex elements, more than the file holds"},
            {"list-count-beyond-the-data.ply", "", "byte 180: face 0: a list of 4294967295 items runs past the end"},
            {"ascii-list.ply",
             "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
             "element face 1\nproperty list uint int vertex_indices\nend_header\n0 0 0\n4000000000 0\n",
             "line 11: face 0: a list of 4000000000 items runs past the end"},
            {"no-properties.ply", "ply\nformat binary_little_endian 1.0\nelement nothing 9999999\nend_header\n",
             "the element nothing has no properties but 9999999 instances"},
        });
    // A kilobyte that claims 2^31 elements takes no more than a little memory.
    std::string claim = "ply\nformat ascii 1.0\nelement vertex 2147483648\nproperty float x\nproperty float y\n"
                        "property float z\nproperty float w\nend_header\n";
    claim.append(1024 - claim.size(), '0');
    EXPECT_LT(peakBytesReading(file("claim.ply", claim)), 100ll << 20);
}

TEST_F(HostileInput, OnlyRegularFilesAreReadAndThePlyMagicFirst)
{
    fs::create_directory(scratch / "folder.obj");
    EXPECT_NE(refusal(scratch / "folder.obj").find("it is a folder"), std::string::npos);
#ifdef _WIN32
    // A device: NUL, whatever the extension.
    EXPECT_NE(refusal("NUL.ply").find("cannot read NUL.ply: it is not a regular file"), std::string::npos)
        << refusal("NUL.ply");
#else
    fs::create_symlink("/dev/zero", scratch / "zero.ply");
    fs::create_symlink("/dev/urandom", scratch / "random.obj");
    ASSERT_EQ(mkfifo((scratch / "waiting.obj").c_str(), 0600), 0);
    EXPECT_NE(refusal(scratch / "zero.ply").find("cannot read " + scratch / "zero.ply" + ": it is not a regular file"),
              std::string::npos);
    EXPECT_NE(refusal(scratch / "random.obj").find("it is not a regular file"), std::string::npos);
    EXPECT_NE(refusal(scratch / "waiting.obj").find("it is not a regular file"), std::string::npos);
#endif
    // A gigabyte that is no PLY is refused after its first bytes.
    const std::string big = scratch / "big.ply";
    std::ofstream(big) << "solid";
    fs::resize_file(big, std::uintmax_t(1) << 30);
    EXPECT_NE(refusal(big).find("not a PLY file"), std::string::npos);
    EXPECT_LT(peakBytesReading(big), 100ll << 20);
}

TEST_F(HostileInput, MaterialLibrariesStayBesideTheirFileAndSmall)
{
    fs::create_directories(scratch / "in");
    std::ofstream(scratch / "outside.mtl") << "newmtl Grass\nKd 1 0 0\n";
    const std::string large = scratch / "in/large.mtl";
    std::ofstream(large) << "newmtl Grass\n";
    fs::resize_file(large, std::uintmax_t(17) << 20);
    const std::string path = file("in/terrain.obj", "mtllib /etc/passwd\nmtllib ../outside.mtl\nmtllib large.mtl\n"
                                                    "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Grass\nf 1 2 3\n");
    host::Object object;
    const meshio::ReadWarnings warnings = meshio::readMesh(path, object, 1);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("/etc/passwd: it is not in the folder of the OBJ file"), std::string::npos);
    EXPECT_NE(warnings[1].find("../outside.mtl: it is not in the folder"), std::string::npos);
    EXPECT_NE(warnings[2].find("large.mtl: it is larger than 16 MB"), std::string::npos);
    EXPECT_TRUE(object.materials.empty());
    EXPECT_EQ(object.surfaceName(object.findLayer(1)->mesh.polygon(0).surface), "Grass");
}

TEST_F(HostileInput, ObjIsReadStrictlyWithTheLineOfEveryFault)
{
    expectRefusals(
        *this,
        {
            {"index-beyond-long-long.obj", "", "line 4: \"99999999999999999999\" is not an index that fits"},
            {"index-beyond-int.obj", "", "line 4: f refers to point 2147483648, but 3 points are defined"},
            {"not-a-number.obj", "", "line 1: \"abc\" is not a number"},
            {"point-with-one-coordinate.obj", "", "line 1: a point has x, y and z"},
            {"face-with-two-points.obj", "", "line 3: a face needs three points or more; this one has 2"},
            {"face-with-one-point.obj", "", "line 2: a face needs three points or more; this one has 1"},
            {"zero.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "line 4: f refers to point 0"},
            {"uv.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nf 1/1 2/2 3/1\n", "line 5: f refers to UV 2, but 1 UVs"},
            {"smoothing.obj", "s sometimes\n", "line 1: a smoothing group is a whole number or off"},
            {"joined.obj", "v 0 0 \\\n0\nv 1 \\\n0 0 x\n", "line 3: \"x\" is not a number"},
        });
    // What the object cannot keep is reported a kind at a time; lines and points stay.
    host::Object object;
    const meshio::ReadWarnings warnings = meshio::readMesh(
        file("kinds.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nl 1 2 3\np 3\ncurv 0 1 1 2\nparm u 0 1\nbevel on\nvc 1\n"),
        object, 1);
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_NE(warnings[0].find("kinds.obj: 1 display and render statements (\"bevel\") not read"), std::string::npos);
    EXPECT_NE(warnings[1].find("2 free-form curve and surface statements (\"curv\", \"parm\")"), std::string::npos);
    EXPECT_NE(warnings[2].find("1 statements of unknown kinds (\"vc\")"), std::string::npos);
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    ASSERT_EQ(mesh.polygonCount(), 3u); // two segments of the line, one point
    EXPECT_EQ(mesh.polygon(0).vertexCount, 2u);
    EXPECT_EQ(mesh.polygon(2).vertexCount, 1u);
}

TEST_F(HostileInput, NumbersThatAreNotFiniteAreRefusedAndNeverWritten)
{
    expectRefusals(*this, {
                              {"not-finite-nan.obj", "", "line 1: \"nan\" is not a finite number"},
                              {"not-finite-inf.obj", "", "line 1: \"inf\" is not a finite number"},
                              {"huge.obj", "v 1e999 0 0\n", "line 1: \"1e999\" is not a finite number"},
                              {"not-finite-coordinate.ply", "", "line 8: vertex 0: x is nan, not a finite number"},
                              {"not-finite-weight.ply", "", "line 9: vertex 0: ZTSW is inf, not a finite number"},
                          });
    host::Object object = testing::sampleObject();
    host::Mesh &mesh = object.layer(1)->mesh.flat();
    mesh.setPosition(2, {mesh.position(2).x, NAN, mesh.position(2).z});
    // Many points, two of them bad far into the layer: found while the file is written,
    // on every core, the first of them is named all the same.
    host::Object many;
    host::Mesh &points = many.layer(1)->mesh.flat();
    for (int i = 0; i < 400000; ++i)
        points.addPoint({i * 0.5, 1.0 / (i + 1), -i * 0.25});
    points.setPosition(250001, {0, INFINITY, 0});
    points.setPosition(390000, {NAN, 0, 0});
    const auto refused = [&](const host::Object &o, const char *name, const std::string &expected,
                             meshio::PlyEncoding encoding) {
        const std::string path = file(name, "the old file");
        try {
            meshio::writeMesh(path, o, meshio::LayerChoice::kCurrent, encoding);
            ADD_FAILURE() << name << " was written";
        } catch (const meshio::MeshIoError &error) {
            EXPECT_NE(std::string(error.what()).find(expected), std::string::npos) << name << ": " << error.what();
        }
        std::ifstream in(path);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "the old file")
            << name;
    };
    for (const char *name : {"out.obj", "out.ply", "out.glb", "out.gltf"})
        for (const auto encoding : {meshio::PlyEncoding::kBinary, meshio::PlyEncoding::kAscii}) {
            refused(object, name, "point 2 of layer 1 is not at a finite position", encoding);
            refused(many, name, "point 250001 of layer 1 is not at a finite position", encoding);
        }
    for (const auto &entry : std::filesystem::directory_iterator(scratch.path()))
        EXPECT_EQ(entry.path().filename().string().find(".tuftsprout-"), std::string::npos) << "left behind";
}

// Blades placed so far that a point runs off every number are refused by their first
// such point; placed that far and brought back, they are written.
TEST_F(HostileInput, PlacementsThatOverflowAreRefusedAndThoseThatComeBackAreWritten)
{
    const auto planted = [&](std::initializer_list<double> factors) {
        host::Object object;
        host::Mesh blade;
        for (const host::Vec3 &p : {host::Vec3{0, 0, 0}, host::Vec3{0, 1, 0}, host::Vec3{0.5, 1, 0}})
            blade.addPoint(p);
        const std::uint32_t corners[3] = {0, 1, 2};
        blade.addPolygon(MH_POLY_FACE, object.surfaceIndex("Blade"), corners, 3);
        host::LayerMesh one;
        one.append(blade);
        host::LayerMesh &layer = object.layer(1)->mesh;
        for (int i = 0; i < 100000; ++i) // enough points to be checked on every core
            layer.append(one);
        for (const double factor : factors)
            layer.scale({factor, factor, factor}, {0, 0, 0});
        return object;
    };
    const std::string path = file("far.ply", "the old file");
    try {
        meshio::writeMesh(path, planted({1e200, 1e200}), meshio::LayerChoice::kCurrent);
        ADD_FAILURE() << "written";
    } catch (const meshio::MeshIoError &error) {
        EXPECT_NE(std::string(error.what()).find("point 1 of layer 1 is not at a finite position"), std::string::npos)
            << error.what();
    }
    meshio::writeMesh(path, planted({1e200, 1e-200}), meshio::LayerChoice::kCurrent);
    host::Object back;
    meshio::readMesh(path, back, 1);
    EXPECT_EQ(back.layer(1)->mesh.pointCount(), 300000u);
}

TEST_F(HostileInput, ValuesOutOfTheirTypesAreRefusedNotCast)
{
    expectRefusals(
        *this, {
                   {"index-beyond-long-long.ply", "", "line 13: face 0: vertex index 1e+30 is outside 0 to 3 - 1"},
                   {"list-count-not-whole.ply", "", "line 13: face 0: \"2.5\" is not a whole number from 0 to 255"},
                   {"byte.ply",
                    "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
                    "property uchar red\nend_header\n0 0 0 256\n",
                    "line 9: vertex 0: \"256\" is not a whole number from 0 to 255"},
               });
}

TEST_F(HostileInput, LayoutOdditiesAreRefusedOrReadInLinearTime)
{
    expectRefusals(*this, {{"two-vertex-elements.ply", "", "header line 7: a second vertex element"}});
    // Thousands of properties: each a weight map, read once.
    std::string header =
        "ply\nformat ascii 1.0\nelement vertex 2\nproperty float x\nproperty float y\nproperty float z\n";
    std::string row;
    for (int i = 0; i < 3000; ++i) {
        header += "property float w" + std::to_string(i) + "\n";
        row += " " + std::to_string(i);
    }
    host::Object object;
    meshio::readMesh(file("wide.ply", header + "end_header\n0 0 0" + row + "\n1 1 1" + row + "\n"), object, 1);
    EXPECT_EQ(object.findLayer(1)->mesh.maps().size(), 3000u);
    const long key = object.findMapKey(MH_MAP_WEIGHT, "w2999");
    ASSERT_GE(key, 0);
    EXPECT_EQ(*object.findLayer(1)->mesh.pointValue(static_cast<std::uint32_t>(key), 1), 2999.0f);
    // Face elements with and without surface numbers: each face keeps its own (the
    // numbers once went to the wrong faces, and past the end of their list).
    host::Object faces;
    meshio::readMesh(fixture("face-elements-with-and-without-surfaces.ply"), faces, 1);
    const host::LayerMesh &mesh = faces.findLayer(1)->mesh;
    ASSERT_EQ(mesh.polygonCount(), 4u);
    std::vector<std::string> surfaces;
    for (std::size_t f = 0; f < mesh.polygonCount(); ++f)
        surfaces.push_back(faces.surfaceName(mesh.polygon(f).surface));
    EXPECT_EQ(surfaces, (std::vector<std::string>{"Default", "Surface 7", "Surface 9", "Default"}));
}

// A binary glTF of that JSON and binary chunk.
std::string glb(std::string json, std::string binary)
{
    json.append((4 - json.size() % 4) % 4, ' ');
    binary.append((4 - binary.size() % 4) % 4, '\0');
    const auto word = [](std::uint32_t value) { return std::string(reinterpret_cast<const char *>(&value), 4); };
    const std::uint32_t total = static_cast<std::uint32_t>(12 + 8 + json.size() + 8 + binary.size());
    return "glTF" + word(2) + word(total) + word(static_cast<std::uint32_t>(json.size())) + "JSON" + json +
           word(static_cast<std::uint32_t>(binary.size())) + std::string("BIN\0", 4) + binary;
}

// One triangle: three positions (36 bytes) and three indices (6 bytes).
std::string triangleJson(const std::string &accessorExtra = "", const std::string &rest = "",
                         const std::string &indexCount = "3")
{
    return R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],"nodes":[{"mesh":0}],)"
           R"("meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],)"
           R"("buffers":[{"byteLength":44}],"bufferViews":[{"buffer":0,"byteLength":36},)"
           R"({"buffer":0,"byteOffset":36,"byteLength":6}],)"
           R"("accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3")" +
           accessorExtra + R"(},{"bufferView":1,"componentType":5123,"count":)" + indexCount + R"(,"type":"SCALAR"}])" +
           rest + "}";
}

std::string triangleData(std::uint16_t lastIndex = 2, float x = 1.0f)
{
    const float positions[9] = {0, 0, 0, x, 0, 0, 0, 1, 0};
    const std::uint16_t indices[3] = {0, 1, lastIndex};
    return std::string(reinterpret_cast<const char *>(positions), 36) +
           std::string(reinterpret_cast<const char *>(indices), 6);
}

TEST_F(HostileInput, GltfIsCheckedAgainstItsBuffers)
{
    const std::string good = glb(triangleJson(), triangleData());
    host::Object object;
    meshio::readMesh(file("good.glb", good), object, 1);
    ASSERT_EQ(object.findLayer(1)->mesh.polygonCount(), 1u);
    EXPECT_EQ(object.findLayer(1)->mesh.position(1).x, 1.0);
    expectRefusals(
        *this,
        {
            {"truncated.glb", good.substr(0, good.size() - 10),
             "the header says " + std::to_string(good.size()) + " bytes, the file has " +
                 std::to_string(good.size() - 10)},
            {"chunk.glb", good.substr(0, 12) + std::string("\xff\xff\x00\x00", 4) + good.substr(16),
             "a chunk of 65535 bytes runs past the end"},
            {"json.glb", glb("{not json", triangleData()), "the JSON is not valid"},
            {"huge-number.glb", glb(R"({"asset":{"version":"2.0"},"scene":1e999})", ""), "the JSON is not valid"},
            {"schema.glb",
             glb(R"({"asset":{"version":"2.0"},"meshes":[{"primitives":"none"}],"nodes":[{"mesh":0}]})", ""),
             "the JSON does not describe glTF as it should"},
            {"past.glb", glb(triangleJson(R"(,"byteOffset":24)"), triangleData()),
             "accessor 0 (POSITION): 3 elements run past the end of its buffer view"},
            {"index.glb", glb(triangleJson(), triangleData(7)), "index 7 is past the 3 vertices of its primitive"},
            {"count.glb", glb(triangleJson("", "", "4294967295"), triangleData()),
             "accessor 1 (indices): 4294967295 elements run past the end of its buffer view"},
            {"finite.glb", glb(triangleJson(), triangleData(2, NAN)), "element 1 is not a finite number"},
            {"draco.glb",
             glb(triangleJson("", R"(,"extensionsRequired":["KHR_draco_mesh_compression"])"), triangleData()),
             "compressed with KHR_draco_mesh_compression, which this program does not read"},
            {"meshopt.glb", glb(triangleJson("", R"(,"extensionsUsed":["EXT_meshopt_compression"])"), triangleData()),
             "compressed with EXT_meshopt_compression"},
            {"sparse.glb",
             glb(triangleJson(
                     R"(,"sparse":{"count":1,"indices":{"bufferView":1,"componentType":5123},"values":{"bufferView":0}})"),
                 triangleData()),
             "accessor 0 (POSITION) is sparse, which this program does not read"},
            {"cycle.glb",
             glb(R"({"asset":{"version":"2.0"},"scenes":[{"nodes":[0]}],"nodes":[{"children":[1]},{"children":[0]}]})",
                 ""),
             "node 0 is its own ancestor: the nodes form a cycle"},
            {"outside.gltf", R"({"asset":{"version":"2.0"},"buffers":[{"byteLength":4,"uri":"../../etc/passwd"}]})",
             "../../etc/passwd: it is not in the folder of"},
        });
    std::string morph = triangleJson();
    morph.replace(morph.find(R"("indices":1)"), 11, R"("indices":1,"targets":[{"POSITION":0}])");
    expectRefusals(*this,
                   {{"morph.glb", glb(morph, triangleData()), "morph targets, which this program does not read"}});
    // Numbers are what glTF says they are, or refused: never cast from a fraction, a
    // negative number or one out of the type's range.
    const auto withMaterial = [](const std::string &material, const std::string &rest = "") {
        std::string json = triangleJson("", R"(,"materials":[)" + material + "]" + rest);
        json.replace(json.find(R"("indices":1)"), 11, R"("indices":1,"material":0)");
        return glb(json, triangleData());
    };
    std::string negative = triangleJson();
    negative.replace(negative.find(R"("indices":1)"), 11, R"("indices":-1)");
    const std::string textured = R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})";
    expectRefusals(
        *this,
        {
            {"signed-indices.glb", "", "accessor 2 (indices) has the component type 5122: indices are unsigned"},
            {"float-count.glb", glb(triangleJson("", "", "1e30"), triangleData()),
             "accessor 1 (indices): its count is 1e+30, not a whole number from 0 up"},
            {"fraction.glb", glb(triangleJson(R"(,"byteOffset":0.5)"), triangleData()),
             "byteOffset is 0.5, not a whole number"},
            {"negative.glb", glb(negative, triangleData()), "a primitive's indices is -1, not a whole number"},
            {"colour.glb", withMaterial(R"({"pbrMetallicRoughness":{"baseColorFactor":[1e300,0,0,1]}})"),
             "a baseColorFactor is 1e+300, not a number from 0 to 1"},
            {"alpha.glb", withMaterial(R"({"pbrMetallicRoughness":{"baseColorFactor":[1,1,1,-0.5]}})"),
             "a baseColorFactor is -0.5, not a number from 0 to 1"},
            {"rough.glb", withMaterial(R"({"pbrMetallicRoughness":{"roughnessFactor":2}})"),
             "a roughnessFactor is 2, not a number from 0 to 1"},
            {"emissive.glb", withMaterial(R"({"emissiveFactor":[1,1]})"),
             "an emissiveFactor is an array of 2, not an array of 3 numbers"},
            {"shiny.glb", withMaterial(R"({"alphaMode":"SHINY"})"),
             "a material's alphaMode is \"SHINY\", not OPAQUE, MASK or BLEND"},
            {"cutoff.glb", withMaterial(R"({"alphaMode":"MASK","alphaCutoff":-1})"),
             "a material's alphaCutoff is -1, not a number from 0 up"},
            {"sides.glb", withMaterial(R"({"doubleSided":1})"), "a material's doubleSided is 1, not true or false"},
            {"no-texture.glb", withMaterial(R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0}}})"),
             "texture 0 does not exist"},
            {"no-image.glb", withMaterial(textured, R"(,"textures":[{"source":1}],"images":[{"uri":"x.png"}])"),
             "image 1 does not exist"},
            {"untyped.glb", withMaterial(textured, R"(,"textures":[{"source":0}],"images":[{"bufferView":0}])"),
             "image 0 is in a buffer view but has no mimeType"},
            {"image-view.glb",
             withMaterial(textured, R"(,"textures":[{"source":0}],"images":[{"bufferView":7,"mimeType":"image/png"}])"),
             "image 0: buffer view 7 does not exist"},
            {"wrap.glb",
             withMaterial(
                 textured,
                 R"(,"textures":[{"source":0,"sampler":0}],"samplers":[{"wrapS":1}],"images":[{"uri":"data:image/png;base64,AAAA"}])"),
             "a sampler's wrapS is 1, which glTF does not define"},
        });
    // A kilobyte claiming four billion elements takes no more than a little memory.
    EXPECT_LT(peakBytesReading(file("claim.glb", glb(triangleJson("", "", "4294967295"), triangleData()))), 100l << 20);
}

// JSON nested past any glTF's needs is refused before it is parsed (200,000 levels once
// ended in a crash while the value was formatted for the message); nesting a value may
// have is read, and a refusal names an array or object by its kind, never by its text.
TEST_F(HostileInput, GltfNestingIsBoundedAndNoValueIsQuotedWhole)
{
    const auto nested = [](const char *open, const char *close, std::size_t depth, const std::string &inner) {
        std::string text;
        for (std::size_t i = 0; i < depth; ++i)
            text += open;
        text += inner;
        for (std::size_t i = 0; i < depth; ++i)
            text += close;
        return text;
    };
    const std::string asset = R"({"asset":{"version":"2.0"},)";
    expectRefusals(*this, {
                              {"deep-scene.gltf", asset + R"("scene":)" + nested("[", "]", 200000, "") + "}",
                               "byte 162: the JSON nests deeper than 128 arrays and objects"},
                              {"deep-extras.gltf", asset + R"("extras":)" + nested("{\"a\":", "}", 200000, "0") + "}",
                               "the JSON nests deeper than 128"},
                              {"deep-open.glb", glb(asset + R"("scene":)" + nested("[", "", 129, ""), ""),
                               "the JSON nests deeper than 128"},
                              {"deep-129.gltf", asset + R"("extras":)" + nested("[", "]", 128, "") + "}",
                               "the JSON nests deeper than 128"},
                              {"array-scene.gltf", asset + R"("scene":)" + nested("[", "]", 100, "0") + "}",
                               "scene is an array of 1, not a whole number"},
                              {"object-mesh.gltf", asset + R"("nodes":[{"mesh":{"a":1,"b":2}}]})",
                               "a node's mesh is an object of 2 members, not a whole number"},
                          });
    // 127 levels in extras (128 with the file's own object), and brackets within strings, are read.
    host::Object object;
    meshio::readMesh(file("nested.glb", glb(triangleJson("", R"(,"extras":)" + nested("[", "]", 127, "") +
                                                                 R"(,"name":")" + nested("[", "{", 300, "") + "\""),
                                            triangleData())),
                     object, 1);
    EXPECT_EQ(object.findLayer(1)->mesh.polygonCount(), 1u);
}

// Work and memory follow the input's bytes. Each bound is what the input's size
// justifies, with room for a loaded machine: a few megabytes of input take well under
// 100 MB beyond the test itself and well under 5 processor seconds (each once took
// gigabytes, or minutes). A glTF node hierarchy is a set of trees, checked before
// anything is placed.
TEST_F(HostileInput, SmallInputsTakeWorkAndMemoryByTheirSize)
{
    const std::string asset = R"({"asset":{"version":"2.0"},)";
    std::string twice = asset + R"("nodes":[)"; // each node names the next twice: 2^40 placements
    for (int n = 0; n < 40; ++n)
        twice += R"({"children":[)" + std::to_string(n + 1) + "," + std::to_string(n + 1) + "]},";
    twice += R"({"mesh":0}],"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}]})";
    expectRefusals(
        *this, {
                   {"twice.gltf", twice, "node 0 names its child 1 twice"},
                   {"two-parents.gltf", asset + R"("nodes":[{"children":[1,2]},{"children":[3]},{"children":[3]},{}]})",
                    "node 3 is a child of node 1 and of node 2: a node has one parent at most"},
                   {"scene-twice.gltf", asset + R"("scenes":[{"nodes":[0,1,0]}],"nodes":[{},{}]})",
                    "the scene names node 0 twice"},
                   {"scene-child.gltf", asset + R"("scenes":[{"nodes":[1]}],"nodes":[{"children":[1]},{}]})",
                    "node 1 of the scene is a child of node 0, not a root"},
                   {"missing-child.gltf", asset + R"("nodes":[{"children":[7]}]})",
                    "node 0 has the child 7, which does not exist"},
               });
    EXPECT_LT(peakBytesReading(file("twice.gltf", twice)), 100ll << 20);
    // One mesh placed by many nodes: read while the copies stay within 256 points and
    // corners a byte of the file, refused beyond.
    const auto placed = [&](int nodes, int vertices) {
        std::string json = asset + R"("nodes":[)";
        for (int n = 0; n < nodes; ++n)
            json += std::string(n ? "," : "") + R"({"mesh":0})";
        json += R"(],"meshes":[{"primitives":[{"attributes":{"POSITION":0}}]}],"buffers":[{"byteLength":)" +
                std::to_string(12 * vertices) + R"(}],"bufferViews":[{"buffer":0,"byteLength":)" +
                std::to_string(12 * vertices) + R"(}],"accessors":[{"bufferView":0,"componentType":5126,"count":)" +
                std::to_string(vertices) + R"(,"type":"VEC3"}]})";
        return glb(json, std::string(12 * vertices, '\0'));
    };
    host::Object copies;
    meshio::readMesh(file("copies.glb", placed(100, 300)), copies, 1);
    EXPECT_EQ(copies.findLayer(1)->mesh.pointCount(), 30000u);
    expectRefusals(*this, {{"many-copies.glb", placed(2000, 30000),
                            "the nodes place 120000000 points and corners, more than 256 for each of the file's"}});
    const Cost copiesCost = readingCost(scratch / "many-copies.glb");
    EXPECT_LT(copiesCost.peakBytes, 100ll << 20);
    EXPECT_LT(copiesCost.cpuSeconds, 5.0);

    // 200,000 distinct unknown OBJ keywords (1.8 MB): counted in constant work each, and a
    // warning that names a few.
    std::string keywords;
    for (int k = 0; k < 200000; ++k)
        keywords += "k" + std::to_string(k) + " 1\n";
    const std::string unknown = file("unknown.obj", "v 0 0 0\n" + keywords);
    host::Object object;
    const meshio::ReadWarnings warnings = meshio::readMesh(unknown, object, 1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("200000 statements of unknown kinds (\"k0\", \"k1\", \"k2\", \"k3\", \"k4\" and "
                               "others)"),
              std::string::npos)
        << warnings[0].substr(0, 300);
    const Cost unknownCost = readingCost(unknown);
    EXPECT_LT(unknownCost.peakBytes, 100ll << 20);
    EXPECT_LT(unknownCost.cpuSeconds, 5.0);

    // A library named again and again is read once.
    int reads = 0;
    const meshio::LibraryReader library = [&reads](const std::string &, const std::string &) {
        ++reads;
        return std::string("newmtl Grass\nKd 0 1 0\n");
    };
    host::Object named;
    meshio::readObj(
        "named.obj",
        [](const meshio::LineSink &sink) { sink("mtllib a.mtl a.mtl\nmtllib b.mtl\nmtllib a.mtl b.mtl\n", 1); }, named,
        1, library);
    EXPECT_EQ(reads, 2);
    fs::create_directories(scratch / "libraries");
    std::ofstream(scratch / "libraries/big.mtl") << "newmtl Grass\nKd 0 1 0\n";
    fs::resize_file(scratch / "libraries/big.mtl", std::uintmax_t(16) << 20);
    std::string often;
    for (int i = 0; i < 100; ++i)
        often += "mtllib big.mtl\n";
    const Cost libraryCost = readingCost(file("libraries/often.obj", often + "v 0 0 0\n"));
    EXPECT_LT(libraryCost.peakBytes, 100ll << 20);
    EXPECT_LT(libraryCost.cpuSeconds, 5.0);

    // Text PLY declaring hundreds of properties for a million vertices in 2 MB: refused by
    // its header, before memory is taken for the values it does not hold.
    for (int properties : {300, 1200}) {
        std::string header = "ply\nformat ascii 1.0\nelement vertex 1000000\nproperty float x\nproperty float y\n"
                             "property float z\n";
        for (int p = 3; p < properties; ++p)
            header += "property float w" + std::to_string(p) + "\n";
        header += "end_header\n";
        std::string body;
        while (body.size() < (std::size_t(2) << 20))
            body += "0 0 0 x\n";
        const std::string wide = file("wide-" + std::to_string(properties) + ".ply", header + body);
        EXPECT_NE(refusal(wide).find("declares 1000000 vertex elements, more than the file holds"), std::string::npos)
            << refusal(wide);
        const Cost wideCost = readingCost(wide);
        EXPECT_LT(wideCost.peakBytes, 100ll << 20);
        EXPECT_LT(wideCost.cpuSeconds, 5.0);
    }
    // Within its counts, a wide text PLY's maps grow as its lines arrive: a bad line early
    // in a long file is refused before the rest is given memory.
    std::string header = "ply\nformat ascii 1.0\nelement vertex 100000\nproperty float x\nproperty float y\n"
                         "property float z\n";
    std::string row = "0 0 0";
    for (int p = 0; p < 300; ++p) {
        header += "property float w" + std::to_string(p) + "\n";
        row += " 1";
    }
    std::string rows = "0 0 x" + row.substr(5) + "\n";
    while (rows.size() < 100000 * (row.size() + 1))
        rows += row + "\n";
    const std::string early = file("early.ply", header + "end_header\n" + rows);
    const long long size = static_cast<long long>(fs::file_size(early));
    std::string().swap(rows);
    EXPECT_NE(refusal(early).find("line 308: vertex 0: \"x\" is not a number"), std::string::npos) << refusal(early);
    EXPECT_LT(peakBytesReading(early), (100ll << 20) + size); // the file, read whole, and little more
}

// What a file says is read as it says it, or refused: never taken for something else.
TEST_F(HostileInput, NothingIsMisreadInSilence)
{
    // A UTF-8 byte-order mark at the start of a text file is no part of its first line.
    const std::string bom = "\xEF\xBB\xBF";
    fs::create_directories(scratch / "bom");
    std::ofstream(scratch / "bom/m.mtl") << bom << "newmtl Grass\nKd 0 1 0\n";
    const std::string ply = "ply\nformat ascii 1.0\nelement vertex 3\nproperty float x\nproperty float y\n"
                            "property float z\nelement face 1\nproperty list uchar int vertex_indices\nend_header\n"
                            "0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    for (const auto &[name, content] : std::vector<std::pair<std::string, std::string>>{
             {"bom/v.obj", bom + "v 0 0 0\nv 1 0 0\nv 0 1 0\nmtllib m.mtl\nusemtl Grass\nf 1 2 3\n"},
             {"bom/mtllib.obj", bom + "mtllib m.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Grass\nf 1 2 3\n"},
             {"bom/text.ply", bom + ply},
         }) {
        host::Object object;
        const meshio::ReadWarnings warnings = meshio::readMesh(file(name, content), object, 1);
        EXPECT_TRUE(warnings.empty()) << name << ": " << warnings.front();
        ASSERT_EQ(object.findLayer(1)->mesh.pointCount(), 3u) << name;
        EXPECT_EQ(object.findLayer(1)->mesh.position(1).x, 1.0) << name;
        if (name.find(".obj") != std::string::npos) {
            EXPECT_EQ(object.materials.at("Grass").diffuse[1], 1.0f) << name;
        }
    }
    expectRefusals(*this, {{"two-boms.ply", bom + bom + ply, "not a PLY file"}});

    // A continued CRLF line reads the same wherever the reader's 4 MiB pieces end: here
    // its line end falls on each byte around the first piece's end.
    for (int shift = -3; shift <= 3; ++shift) {
        const std::string continued = "v 1 2 \\\r\n";
        const std::size_t lineEnd = (std::size_t(4) << 20) + shift; // the bytes up to its end
        std::string text = "#" + std::string(lineEnd - continued.size() - 3, 'x') + "\r\n" + continued;
        ASSERT_EQ(text.size(), lineEnd);
        text += "3\r\nv 0 0 0\r\nv 0 1 0\r\nf 1 2 3\r\n";
        host::Object object;
        meshio::readMesh(file("crlf.obj", text), object, 1);
        const host::LayerMesh &mesh = object.findLayer(1)->mesh;
        ASSERT_EQ(mesh.pointCount(), 3u) << shift;
        EXPECT_EQ(mesh.position(0).z, 3.0) << shift;
    }

    // A JSON text that is no glTF object, a version other than 2, an extension required
    // and not read, nodes that only form a cycle: refused, never an empty success.
    const std::string asset = R"({"asset":{"version":"2.0"},)";
    expectRefusals(
        *this,
        {
            {"array.gltf", "[]", "the JSON is an array of 0, not a glTF object"},
            {"number.gltf", "42", "the JSON is 42, not a glTF object"},
            {"string.gltf", R"("glTF")", "the JSON is \"glTF\", not a glTF object"},
            {"null.gltf", "null", "the JSON is null, not a glTF object"},
            {"null.glb", glb("null", ""), "the JSON is null, not a glTF object"},
            {"empty.gltf", "{}", "it has no asset.version"},
            {"version.gltf", R"({"asset":{"version":"1.0"}})", "glTF version \"1.0\": only version 2 is read"},
            {"required.gltf", asset + R"("extensionsRequired":["KHR_texture_transform"]})",
             "it requires the extension \"KHR_texture_transform\", which this program does not read"},
            {"required.glb", glb(triangleJson("", R"(,"extensionsRequired":["VENDOR_unknown"])"), triangleData()),
             "it requires the extension \"VENDOR_unknown\""},
            {"cycle.gltf", asset + R"("nodes":[{"mesh":0,"children":[1]},{"children":[0]}]})",
             "node 0 is its own ancestor: the nodes form a cycle"},
            {"self.gltf", asset + R"("nodes":[{},{"children":[1]}]})", "node 1 is its own ancestor"},
            {"long-cycle.gltf",
             asset + R"("nodes":[{},{"children":[2]},{"children":[3]},{"children":[4]},{"children":[1]}]})",
             "is its own ancestor: the nodes form a cycle"},
        });
    std::string quantized = triangleJson("", R"(,"extensionsRequired":["KHR_mesh_quantization"],)"
                                             R"("extensionsUsed":["KHR_mesh_quantization"])");
    host::Object object;
    meshio::readMesh(file("quantized.glb", glb(quantized, triangleData())), object, 1);
    EXPECT_EQ(object.findLayer(1)->mesh.polygonCount(), 1u);

    // One sign to a number.
    expectRefusals(*this, {
                              {"plus-minus.obj", "v +-1 0 0\n", "line 1: \"+-1\" is not a number"},
                              {"plus-plus.obj", "v 0 0 0\nvt ++1 0\n", "line 2: \"++1\" is not a number"},
                              {"index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf +-1 2 3\n", "\"+-1\" is not an index"},
                              {"smoothing.obj", "s +-1\n", "a smoothing group is a whole number or off"},
                          });
    host::Object signs;
    meshio::readMesh(file("signs.obj", "v +1 -0 +0.5\nv 1 0 0\nv 0 1 0\nf +1 -2 3\n"), signs, 1);
    EXPECT_EQ(signs.findLayer(1)->mesh.position(0).z, 0.5);

    // Materials whose names start with '#' (which readers take for a comment) are written
    // so that the file and its library read back, each polygon on its own material.
    host::Object hashes;
    host::Mesh &mesh = hashes.layer(1)->mesh.flat();
    for (int i = 0; i < 3; ++i)
        mesh.addPoint({double(i == 1), double(i == 2), 0});
    const std::uint32_t corners[3] = {0, 1, 2};
    for (const char *name : {"#1 Grass", "#", "Grass #2"}) {
        const std::uint32_t surface = hashes.surfaceIndex(name);
        hashes.materials[name] = host::Material{{0, 0.5f, 0}, {}, {}};
        mesh.addPolygon(MH_POLY_FACE, surface, corners, 3);
    }
    const std::string written = scratch / "hashes.obj";
    meshio::writeMesh(written, hashes, meshio::LayerChoice::kCurrent);
    host::Object back;
    EXPECT_TRUE(meshio::readMesh(written, back, 1).empty());
    const host::LayerMesh &read = back.findLayer(1)->mesh;
    ASSERT_EQ(read.polygonCount(), 3u);
    std::vector<std::string> names;
    for (std::size_t p = 0; p < read.polygonCount(); ++p) {
        names.push_back(back.surfaceName(read.polygon(p).surface));
        EXPECT_EQ(back.materials.at(names.back()).diffuse[1], 0.5f) << names.back();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"_#1_Grass", "_#", "Grass_#2"}));
}

// A refusal quotes a short excerpt of what was wrong, never the whole of a long value.
TEST_F(HostileInput, MessagesQuoteAShortExcerpt)
{
    const std::string big(4 << 20, 'A');
    const std::string asset = R"({"asset":{"version":"2.0"},)";
    const std::vector<Case> cases = {
        {"scene.gltf", asset + R"("scene":")" + big + "\"}", "scene is \"AAAA"},
        {"version.gltf", R"({"asset":{"version":")" + big + "\"}}", "glTF version \"AAAA"},
        {"required.gltf", asset + R"("extensionsRequired":[")" + big + "\"]}", "it requires the extension \"AAAA"},
        {"token.gltf", asset + R"("scene":")" + big + "\x01\"}", "the JSON is not valid"},
        {"uri.gltf", asset + R"("buffers":[{"byteLength":1,"uri":")" + big + "\"}]}", "AAAA"},
        {"type.glb", glb(triangleJson(R"(,"type":")" + big + "\""), triangleData()), "POSITION) is a AAAA"},
        {"number.obj", "v " + big + " 0 0\n", "line 1: \"AAAA"},
        {"index.obj", "v 0 0 0\nf 1 1 " + big + "\n", "line 2: \"AAAA"},
        {"keyword.ply", "ply\nformat ascii 1.0\n" + big + "\nend_header\n", "unknown keyword \"AAAA"},
        {"value.ply",
         "ply\nformat ascii 1.0\nelement vertex 1\nproperty float x\nproperty float y\nproperty float z\n"
         "end_header\n0 0 " +
             big + "\n",
         "line 8: vertex 0: \"AAAA"},
    };
    expectRefusals(*this, cases);
    for (const Case &c : cases)
        EXPECT_LT(refusal(scratch / c.file).size(), 500u) << c.file;
    // A 10 MB statement of an unknown kind is named by an excerpt.
    host::Object object;
    const meshio::ReadWarnings warnings =
        meshio::readMesh(file("keyword.obj", "v 0 0 0\n" + std::string(10 << 20, 'k') + " 1\n"), object, 1);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_LT(warnings[0].size(), 500u);
    EXPECT_NE(warnings[0].find("kkkk... (10485760 bytes)"), std::string::npos) << warnings[0].substr(0, 500);
}

// A glTF node whose transform overflows is refused as it is read, by its number.
TEST_F(HostileInput, GltfTransformsThatOverflowAreRefusedNamingTheNode)
{
    const auto placed = [](const std::string &nodes) {
        std::string json = triangleJson();
        json.replace(json.find(R"("nodes":[{"mesh":0}])"), 20, R"("nodes":)" + nodes);
        return glb(json, triangleData());
    };
    expectRefusals(
        *this,
        {
            {"scaled.glb", placed(R"([{"mesh":0,"scale":[1e308,1,1],"translation":[1e308,0,0]}])"),
             "node 0 places vertex 1 at no finite position: its transform overflows"},
            {"below.glb", placed(R"([{"children":[1]},{"mesh":0,"scale":[1,-1e308,1],"translation":[0,-1e308,0]}])"),
             "node 1 places vertex 2 at no finite position"},
            {"nested.glb", placed(R"([{"children":[1],"scale":[1e200,1,1]},{"mesh":0,"scale":[1e200,1,1]}])"),
             "node 1: its transform, with its parents', is not finite"},
            {"rotation.glb", placed(R"([{"mesh":0,"rotation":[1e200,0,0,1]}])"),
             "node 0: its transform, with its parents', is not finite"},
            {"matrix.glb", placed(R"([{"mesh":0,"matrix":[1e308,0,0,0,0,1,0,0,0,0,1,0,1e308,0,0,1]}])"),
             "node 0 places vertex 1 at no finite position"},
        });
}

#ifndef _WIN32
// Links are followed, but a file another names must be in its folder by where the link
// leads, not only by the name it is given.
TEST_F(HostileInput, LinksAreConfinedByWhereTheyLead)
{
    fs::create_directories(scratch / "in/sub");
    fs::create_directories(scratch / "outside");
    std::ofstream(scratch / "outside/secret.mtl") << "newmtl Grass\nKd 1 0 0\n";
    std::ofstream(scratch / "in/sub/real.mtl") << "newmtl Grass\nKd 0 1 0\n";
    fs::create_symlink("../outside/secret.mtl", scratch / "in/leak.mtl");
    fs::create_symlink(scratch / "outside", scratch / "in/assets");
    fs::create_symlink("sub/real.mtl", scratch / "in/inside.mtl");
    fs::create_symlink(scratch / "in/sub", scratch / "in/linked-sub");
    const std::string real = fs::canonical(scratch / "outside/secret.mtl");
    for (const auto &[library, said] : std::vector<std::pair<std::string, std::string>>{
             {"leak.mtl", "leak.mtl: it leads to " + real + ", which is not in the folder of"},
             {"assets/secret.mtl", "assets/secret.mtl: it leads to " + real + ", which is not in the folder"},
             {"inside.mtl", ""},
             {"linked-sub/real.mtl", ""},
         }) {
        host::Object object;
        const meshio::ReadWarnings warnings = meshio::readMesh(
            file("in/t.obj", "mtllib " + library + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Grass\nf 1 2 3\n"), object, 1);
        if (said.empty()) {
            EXPECT_TRUE(warnings.empty()) << library << ": " << warnings.front();
            EXPECT_EQ(object.materials.at("Grass").diffuse[1], 1.0f) << library;
        } else {
            ASSERT_EQ(warnings.size(), 1u) << library;
            EXPECT_NE(warnings[0].find(said), std::string::npos) << warnings[0];
            EXPECT_TRUE(object.materials.empty()) << library;
        }
    }
    // glTF buffers alike.
    std::ofstream(scratch / "outside/data.bin") << triangleData();
    fs::create_symlink("../outside/data.bin", scratch / "in/data.bin");
    std::string json = triangleJson();
    json.replace(json.find(R"("byteLength":44})"), 16, R"("byteLength":44,"uri":"data.bin"})");
    expectRefusals(*this, {{"in/linked.gltf", json,
                            "data.bin: it leads to " + fs::canonical(scratch / "outside/data.bin").string() +
                                ", which is not in the folder of"}});
}
#endif

TEST_F(HostileInput, EveryFormatIsWrittenWithAndWithoutMaps)
{
    // Run by the sanitizer suite too: no copy from a null pointer, no read past a buffer.
    host::Object plain;
    plain.layer(1)->mesh.addPoint({1, 2, 3});
    const std::uint32_t point = 0;
    plain.layer(1)->mesh.addPolygon(MH_POLY_FACE, plain.surfaceIndex("S"), &point, 1);
    host::Object withMaps = testing::sampleObject();
    for (const host::Object *written : {&plain, &withMaps}) {
        for (const char *name : {"w.obj", "w.ply", "a.ply", "w.glb", "w.gltf"}) {
            const std::string path = scratch / name;
            meshio::writeMesh(path, *written, meshio::LayerChoice::kCurrent,
                              name[0] == 'a' ? meshio::PlyEncoding::kAscii : meshio::PlyEncoding::kBinary);
            host::Object back;
            meshio::readMesh(path, back, 1);
            const host::LayerMesh &mesh = written->findLayer(1)->mesh;
            if (std::string(name).find(".gl") == std::string::npos) {
                EXPECT_EQ(back.findLayer(1)->mesh.pointCount(), mesh.pointCount()) << name;
            } else { // triangles only, each polygon a fan of them
                std::size_t triangles = 0;
                for (std::size_t p = 0; p < mesh.polygonCount(); ++p)
                    triangles += mesh.pointsOf(p).size() >= 3 ? mesh.pointsOf(p).size() - 2 : 0;
                EXPECT_EQ(back.findLayer(1)->mesh.polygonCount(), triangles) << name;
            }
            // OBJ and glTF keep UVs, PLY every map.
            const std::size_t maps = written->findLayer(1)->mesh.maps().size();
            const bool ply = std::string(name).find(".ply") != std::string::npos;
            EXPECT_EQ(back.findLayer(1)->mesh.maps().size(), ply ? maps : maps / 2) << name;
        }
    }
}

} // namespace
} // namespace tuft
