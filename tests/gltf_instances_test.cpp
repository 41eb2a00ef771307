// Instanced glTF output: each placement's translation, rotation and scale put the blade
// where the host puts it, and a planting written as instances draws every blade vertex
// where the same planting written realized has it.
#include "host/placement.h"
#include "meshio/gltf_buffers.h"
#include "meshio/gltf_instances.h"
#include "tests/scratch_directory.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

namespace tuft {
namespace {

using host::Step;
using host::Vec3;
using Json = nlohmann::json;

// glTF's reading of a placement, apart from the writer's: p' = T + R·(S·p), R a unit
// quaternion (x, y, z, w) turning v to v + 2w(q×v) + 2q×(q×v).
Vec3 applyTrs(const float *t, const float *r, const float *s, Vec3 p)
{
    p = {p.x * s[0], p.y * s[1], p.z * s[2]};
    const double x = r[0], y = r[1], z = r[2], w = r[3];
    const Vec3 c{y * p.z - z * p.y, z * p.x - x * p.z, x * p.y - y * p.x};  // q×p
    const Vec3 cc{y * c.z - z * c.y, z * c.x - x * c.z, x * c.y - y * c.x}; // q×(q×p)
    return {t[0] + p.x + 2 * (w * c.x + cc.x), t[1] + p.y + 2 * (w * c.y + cc.y), t[2] + p.z + 2 * (w * c.z + cc.z)};
}

host::InstanceRun runOf(const std::vector<Step> &steps, std::size_t count, std::mt19937 &random)
{
    host::InstanceRun run;
    auto blade = std::make_shared<host::Mesh>();
    for (const Vec3 &p : {Vec3{0.1, 0.0, 0.0}, Vec3{-0.05, 0.3, 0.02}, Vec3{0.01, 1.2, -0.4}})
        blade->addPoint(p);
    run.blade = blade;
    run.steps = steps;
    for (const Step &step : steps)
        run.stride += step.numbers();
    std::uniform_real_distribution<double> factor(0.2, 3.0), angle(-400.0, 400.0), offset(-50.0, 50.0);
    for (std::size_t i = 0; i < count; ++i)
        for (const Step &step : steps) {
            if (step.kind == Step::kScale || step.kind == Step::kMove) {
                for (int k = 0; k < 3; ++k) {
                    const double n = step.kind == Step::kScale ? factor(random) : offset(random);
                    run.numbers.append(&n, 1);
                }
            } else { // every quadrant, and the half turn exactly
                const host::Turn turn = host::turnOf(i == 0 ? 180.0 : angle(random));
                run.numbers.append(&turn.cs, 1);
                run.numbers.append(&turn.sn, 1);
            }
        }
    run.count = count;
    return run;
}

TEST(GltfInstances, EachPlacementAsTrsPutsTheBladeWhereTheHostDoes)
{
    std::mt19937 random(7);
    const Step scale{Step::kScale, false}, move{Step::kMove, false};
    const Step turnX{Step::kTurnX, false}, turnY{Step::kTurnY, false}, turnZ{Step::kTurnZ, false};
    const std::vector<std::vector<Step>> lists = {{scale, turnY, move},  {scale, turnY, turnX, turnZ, move}, {turnX},
                                                  {turnZ, turnZ, turnY}, {scale, scale, move, move},         {}};
    for (const std::vector<Step> &steps : lists) {
        const host::InstanceRun run = runOf(steps, 200, random);
        ASSERT_TRUE(meshio::gltf::isTrs(run)) << steps.size();
        for (std::size_t i = 0; i < run.count; ++i) {
            const meshio::gltf::Trs trs = meshio::gltf::trsOf(run, i);
            const double r = trs.rotation[0];
            EXPECT_NEAR(std::sqrt(r * r + trs.rotation[1] * trs.rotation[1] + trs.rotation[2] * trs.rotation[2] +
                                  trs.rotation[3] * trs.rotation[3]),
                        1.0, 1e-6);
            for (std::uint32_t point = 0; point < 3; ++point) {
                const Vec3 host = run.place(i, point);
                const Vec3 gltf = applyTrs(trs.translation, trs.rotation, trs.scale, run.blade->position(point));
                const double tolerance = 2e-6 * (1 + std::abs(host.x) + std::abs(host.y) + std::abs(host.z));
                EXPECT_NEAR(gltf.x, host.x, tolerance) << steps.size() << " steps, instance " << i;
                EXPECT_NEAR(gltf.y, host.y, tolerance) << steps.size() << " steps, instance " << i;
                EXPECT_NEAR(gltf.z, host.z, tolerance) << steps.size() << " steps, instance " << i;
            }
        }
    }
    // What T·R·S cannot say: a step about a centre, or the steps in another order.
    for (const std::vector<Step> &steps : std::vector<std::vector<Step>>{
             {{Step::kScale, true}, turnY, move}, {turnY, scale}, {move, turnY}, {scale, move, scale}}) {
        EXPECT_FALSE(meshio::gltf::isTrs(runOf(steps, 1, random))) << steps.size();
    }
}

// The triangles of a glTF file, each as its three corners where a reader draws them
// (every placement of an instanced node's), with their UVs, by material name in the order
// written; and the _ID of every placement, in order.
struct Drawn {
    std::map<std::string, std::vector<Vec3>> corners;
    std::map<std::string, std::vector<std::pair<double, double>>> uvs;
    std::vector<double> ids;
    Json gltf;
};

Drawn drawn(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream data;
    data << in.rdbuf();
    std::optional<std::string> binary;
    Drawn result;
    result.gltf = Json::parse(meshio::gltf::jsonOfGlb(path, data.str(), binary));
    const Json &gltf = result.gltf;
    const meshio::LibraryReader none;
    meshio::gltf::Buffers buffers(path, none);
    buffers.load(gltf, binary);
    for (const Json &node : gltf["nodes"]) {
        std::vector<double> t = {0, 0, 0}, r = {0, 0, 0, 1}, s = {1, 1, 1};
        if (node.contains("extensions")) {
            const Json &attributes = node["extensions"]["EXT_mesh_gpu_instancing"]["attributes"];
            t = buffers.accessor(gltf, attributes["TRANSLATION"], 3, "translation");
            r = buffers.accessor(gltf, attributes["ROTATION"], 4, "rotation");
            s = buffers.accessor(gltf, attributes["SCALE"], 3, "scale");
            const std::vector<double> ids = buffers.accessor(gltf, attributes["_ID"], 1, "_ID");
            result.ids.insert(result.ids.end(), ids.begin(), ids.end());
        }
        for (const Json &primitive : gltf["meshes"][node["mesh"].get<std::size_t>()]["primitives"]) {
            const std::vector<double> p = buffers.accessor(gltf, primitive["attributes"]["POSITION"], 3, "POSITION");
            const std::vector<double> indices = buffers.indices(gltf, primitive["indices"]);
            const Json &attributes = primitive["attributes"];
            const std::vector<double> uv = attributes.contains("TEXCOORD_0")
                                               ? buffers.accessor(gltf, attributes["TEXCOORD_0"], 2, "UV")
                                               : std::vector<double>();
            const std::string material = gltf["materials"][primitive["material"].get<std::size_t>()]["name"];
            std::vector<Vec3> &into = result.corners[material];
            for (std::size_t i = 0; i < t.size() / 3; ++i) {
                const float ti[3] = {float(t[3 * i]), float(t[3 * i + 1]), float(t[3 * i + 2])};
                const float ri[4] = {float(r[4 * i]), float(r[4 * i + 1]), float(r[4 * i + 2]), float(r[4 * i + 3])};
                const float si[3] = {float(s[3 * i]), float(s[3 * i + 1]), float(s[3 * i + 2])};
                for (double index : indices) {
                    const std::size_t v = static_cast<std::size_t>(index);
                    into.push_back(applyTrs(ti, ri, si, {p[3 * v], p[3 * v + 1], p[3 * v + 2]}));
                    if (!uv.empty())
                        result.uvs[material].push_back({uv[2 * v], uv[2 * v + 1]});
                }
            }
        }
    }
    return result;
}

class GltfInstancesFile : public ::testing::Test {
public:
    void plant(const std::string &arguments) const
    {
        const std::string command =
            "cd " + scratch.path().string() + " && " + TUFTSPROUT_PROGRAM + " plant " + arguments + " 2>>log.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << arguments;
    }

    testing::ScratchDirectory scratch{"gltf-instances"};
};

TEST(GltfInstances, AGlbPastFourGibibytesIsRefusedForAGltf)
{
    EXPECT_EQ(meshio::gltf::glbLength("grass.glb", 4294967295u), 4294967295u);
    try {
        meshio::gltf::glbLength("grass.glb", 4294967296u);
        ADD_FAILURE() << "a length past 32 bits was taken";
    } catch (const meshio::MeshIoError &error) {
        EXPECT_NE(std::string(error.what()).find("write a .gltf file"), std::string::npos) << error.what();
    }
}

TEST_F(GltfInstancesFile, EveryBladeVertexIsWhereTheRealizedFileHasIt)
{
    std::filesystem::copy_file(std::string(TUFT_FIXTURES) + "/terrain.obj", scratch / "terrain.obj");
    std::filesystem::copy_file(std::string(TUFT_FIXTURES) + "/terrain.mtl", scratch / "terrain.mtl");
    // Ground mode's turns about Y alone; Polygon mode's about Y, X and Z, beside the terrain.
    const std::vector<std::pair<std::string, std::size_t>> plantings = {
        {"--number 300 --set Add_UV=on --clock 11 --rotation 360 --roughness 60", 300},
        {"terrain.obj --mode polygon --select polygons:all --clock 12 --rotation 360 --roughness 60", 6}};
    for (const auto &[planting, blades] : plantings) {
        plant(planting + " -o realized.glb");
        plant(planting + " -o instanced.glb --instances");
        const Drawn realized = drawn(scratch / "realized.glb"), instanced = drawn(scratch / "instanced.glb");
        EXPECT_EQ(instanced.gltf["extensionsRequired"], Json::array({"EXT_mesh_gpu_instancing"})) << planting;
        EXPECT_FALSE(realized.gltf.contains("extensionsUsed")) << planting;
        // The blades numbered in planting order.
        ASSERT_EQ(instanced.ids.size(), blades) << planting;
        for (std::size_t i = 0; i < blades; ++i)
            EXPECT_EQ(instanced.ids[i], double(i)) << planting;
        EXPECT_FALSE(realized.uvs.empty()) << planting; // the blades' UVs, and the terrain's
        EXPECT_TRUE(instanced.uvs == realized.uvs) << planting;
        ASSERT_EQ(instanced.corners.size(), realized.corners.size()) << planting;
        for (const auto &[material, corners] : realized.corners) {
            const std::vector<Vec3> &drawnCorners = instanced.corners.at(material);
            ASSERT_EQ(drawnCorners.size(), corners.size()) << planting << " " << material;
            for (std::size_t c = 0; c < corners.size(); ++c) {
                const Vec3 a = corners[c], b = drawnCorners[c];
                const double tolerance = 4e-6 * (1 + std::abs(a.x) + std::abs(a.y) + std::abs(a.z));
                ASSERT_NEAR(a.x, b.x, tolerance) << planting << " " << material << " corner " << c;
                ASSERT_NEAR(a.y, b.y, tolerance) << planting << " " << material << " corner " << c;
                ASSERT_NEAR(a.z, b.z, tolerance) << planting << " " << material << " corner " << c;
            }
        }
    }
}

} // namespace
} // namespace tuft
