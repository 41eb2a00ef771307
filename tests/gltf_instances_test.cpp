// Instanced glTF output: each placement's translation, rotation and scale put the blade
// where the host puts it, and a planting written as instances draws every blade vertex
// where the same planting written realized has it.
#include "tests/instanced_gltf.h"
#include "tests/scratch_directory.h"

#include <cmath>
#include <cstdlib>

#include <gtest/gtest.h>

namespace tuft {
namespace {

using testing::applyTrs;
using testing::drawn;
using testing::Drawn;
using testing::Json;
using testing::runOf;
using testing::Step;
using testing::Vec3;

TEST(GltfInstances, EachPlacementAsTrsPutsTheBladeWhereTheHostDoes)
{
    std::mt19937 random(7);
    const Step scale{Step::kScale, false}, move{Step::kMove, false};
    const Step turnX{Step::kTurnX, false}, turnY{Step::kTurnY, false}, turnZ{Step::kTurnZ, false};
    const Step alike{Step::kScale, false, true}, level{Step::kMove, false, true}; // one factor; no rise
    const std::vector<std::vector<Step>> lists = {{scale, turnY, move},
                                                  {scale, turnY, turnX, turnZ, move},
                                                  {turnX},
                                                  {turnZ, turnZ, turnY},
                                                  {scale, scale, move, move},
                                                  {alike, turnY, level},
                                                  {alike, scale, level, move},
                                                  {}};
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
