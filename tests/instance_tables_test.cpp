// Instances laid out for engines and pipelines: nodes by cells of the ground, a .gltf's
// data over several .bin files, and the table of placements (.csv).
#include "meshio/export_layer.h"
#include "meshio/gltf_cells.h"
#include "tests/instanced_gltf.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

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

// The box of the translations of a node's placements, as the run has them.
std::array<float, 6> boxOf(const host::InstanceRun &run, const meshio::gltf::InstanceNodes &drawing,
                           const meshio::gltf::InstanceNode &node)
{
    const float far = std::numeric_limits<float>::infinity();
    std::array<float, 6> box = {far, far, far, -far, -far, -far};
    for (std::size_t k = node.begin; k < node.end; ++k) {
        const std::array<float, 3> t = meshio::gltf::translationOf(run, drawing.placement(k));
        for (int a = 0; a < 3; ++a) {
            box[a] = std::min(box[a], t[a]);
            box[3 + a] = std::max(box[3 + a], t[a]);
        }
    }
    return box;
}

TEST(InstanceNodes, EachPlacementOnceInItsCellAndItsNodesExactBox)
{
    std::mt19937 random(5);
    const host::InstanceRun run =
        runOf({{Step::kScale, false}, {Step::kTurnY, false}, {Step::kMove, false}}, 3000, random);
    for (const double side : {0.0, 7.0, 0.5, 1000.0})
        for (const std::size_t most : {meshio::gltf::kMostPlacementsPerNode, std::size_t(5)}) {
            const meshio::gltf::InstanceNodes drawing = meshio::gltf::instanceNodes(run, side, most);
            const std::string what = "side " + std::to_string(side) + ", at most " + std::to_string(most);
            std::vector<int> seen(run.count, 0);
            std::set<std::pair<std::int64_t, std::int64_t>> cellsDone;
            std::pair<std::int64_t, std::int64_t> last{std::numeric_limits<std::int64_t>::min(), 0};
            std::size_t next = 0;
            for (const meshio::gltf::InstanceNode &node : drawing.nodes) {
                ASSERT_EQ(node.begin, next) << what;
                ASSERT_GT(node.end, node.begin) << what;
                ASSERT_LE(node.end - node.begin, most) << what;
                next = node.end;
                EXPECT_EQ(node.celled, side > 0) << what;
                const std::array<float, 6> box = boxOf(run, drawing, node);
                for (int a = 0; a < 3; ++a) {
                    EXPECT_EQ(node.low[a], box[a]) << what;
                    EXPECT_EQ(node.high[a], box[3 + a]) << what;
                }
                for (std::size_t k = node.begin; k < node.end; ++k) {
                    const std::size_t i = drawing.placement(k);
                    ++seen[i];
                    if (k > node.begin) { // the run's order within a node
                        EXPECT_LT(drawing.placement(k - 1), i) << what;
                    }
                    const std::array<float, 3> t = meshio::gltf::translationOf(run, i);
                    if (side > 0) {
                        EXPECT_EQ(std::floor(t[0] / side), double(node.cellX)) << what << ", placement " << i;
                        EXPECT_EQ(std::floor(t[2] / side), double(node.cellZ)) << what << ", placement " << i;
                    }
                }
                // Cells in order of Z, then X, each cell's nodes together.
                const std::pair<std::int64_t, std::int64_t> cell{node.cellZ, node.cellX};
                if (side > 0 && cell != last) {
                    EXPECT_LT(last, cell) << what;
                    EXPECT_TRUE(cellsDone.insert(cell).second) << what;
                    last = cell;
                }
            }
            EXPECT_EQ(next, run.count) << what;
            EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), std::ptrdiff_t(run.count)) << what;
        }
}

// The cells a run far from the origin or on a tiny grid falls in stay whole numbers.
TEST(InstanceNodes, CellsFarOutStayCells)
{
    std::mt19937 random(6);
    host::InstanceRun run = runOf({{Step::kMove, false}}, 0, random);
    for (run.count = 0; run.count < 50; ++run.count) {
        const double far = run.count % 2 == 0 ? 3.0e38 : -3.0e38, move[3] = {far, 0.0, far};
        run.numbers.append(move, 3);
    }
    const meshio::gltf::InstanceNodes drawing = meshio::gltf::instanceNodes(run, 1e-30);
    ASSERT_EQ(drawing.nodes.size(), 2u);
    EXPECT_LT(drawing.nodes[0].cellX, drawing.nodes[1].cellX);
}

// A Z-up file's blade is turned there too: its placement, applied to the turned blade,
// puts every point where the turned placed point is.
TEST(InstanceTable, AZUpPlacementPlacesTheTurnedBladeWhereTheTurnedBladeStands)
{
    std::mt19937 random(8);
    const host::InstanceRun run = runOf({{Step::kScale, false},
                                         {Step::kTurnY, false},
                                         {Step::kTurnX, false},
                                         {Step::kTurnZ, false},
                                         {Step::kMove, false}},
                                        100, random);
    const auto turned = [](Vec3 p) {
        meshio::yUpToZUp(p.x, p.y, p.z);
        return p;
    };
    for (std::size_t i = 0; i < run.count; ++i) {
        const meshio::gltf::Trs yUp = meshio::gltf::trsOf(run, i), zUp = meshio::gltf::zUpTrs(yUp);
        for (std::uint32_t point = 0; point < 3; ++point) {
            const Vec3 p = run.blade->position(point);
            const Vec3 want = turned(applyTrs(yUp.translation, yUp.rotation, yUp.scale, p));
            const Vec3 got = applyTrs(zUp.translation, zUp.rotation, zUp.scale, turned(p));
            const double tolerance = 1e-5 * (1 + std::abs(want.x) + std::abs(want.y) + std::abs(want.z));
            EXPECT_NEAR(got.x, want.x, tolerance) << "placement " << i;
            EXPECT_NEAR(got.y, want.y, tolerance) << "placement " << i;
            EXPECT_NEAR(got.z, want.z, tolerance) << "placement " << i;
        }
    }
}

class InstanceFiles : public ::testing::Test {
public:
    void plant(const std::string &arguments) const
    {
        const std::string command =
            "cd " + scratch.path().string() + " && " + TUFTSPROUT_PROGRAM + " plant " + arguments + " 2>>log.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << arguments;
    }
    Drawn read(const std::string &name) const { return drawn(scratch / name); }

    testing::ScratchDirectory scratch{"instance-files"};
};

constexpr const char *kPlanting = "--number 400 --field 20 --rotation 360 --roughness 60 --clock 13 --set Add_UV=on";

TEST_F(InstanceFiles, CellsHoldEveryPlacementInsideTheirBoxesAndNeverOverlap)
{
    plant(std::string(kPlanting) + " -o whole.glb --instances");
    plant(std::string(kPlanting) + " -o cells.glb --instances --cell 4");
    const Drawn whole = read("whole.glb"), cells = read("cells.glb");
    ASSERT_EQ(whole.instancedNodes.size(), 1u);
    ASSERT_GT(cells.instancedNodes.size(), 9u);        // a 20 x 20 field in cells of 4
    EXPECT_TRUE(cells.placements == whole.placements); // the same placements, grouped
    EXPECT_EQ(cells.ids.size(), 400u);
    const auto inside = [](const Drawn::Translations &node) {
        for (std::size_t i = 0; i < node.values.size(); ++i)
            if (node.values[i] < node.min.at(i % 3) || node.values[i] > node.max.at(i % 3))
                return false;
        return true;
    };
    for (const Drawn::Translations &node : whole.instancedNodes)
        EXPECT_TRUE(inside(node));
    for (std::size_t a = 0; a < cells.instancedNodes.size(); ++a) {
        const Drawn::Translations &one = cells.instancedNodes[a];
        EXPECT_TRUE(inside(one)) << "node " << a;
        for (std::size_t b = a + 1; b < cells.instancedNodes.size(); ++b) {
            const Drawn::Translations &other = cells.instancedNodes[b];
            const bool apartX = one.max[0] < other.min[0] || other.max[0] < one.min[0];
            const bool apartZ = one.max[2] < other.min[2] || other.max[2] < one.min[2];
            EXPECT_TRUE(apartX || apartZ) << "nodes " << a << " and " << b << " overlap on the ground";
        }
    }
}

// The same corners, to the bit, by material.
bool sameCorners(const std::map<std::string, std::vector<Vec3>> &a, const std::map<std::string, std::vector<Vec3>> &b)
{
    const auto same = [](const Vec3 &p, const Vec3 &q) { return p.x == q.x && p.y == q.y && p.z == q.z; };
    return a.size() == b.size() && std::all_of(a.begin(), a.end(), [&](const auto &material) {
               const auto found = b.find(material.first);
               return found != b.end() && std::equal(material.second.begin(), material.second.end(),
                                                     found->second.begin(), found->second.end(), same);
           });
}

// A .gltf whose data would pass the most a .bin holds spreads it over several, each at
// most that long unless it holds a single view; readers draw what one .bin would give.
TEST_F(InstanceFiles, AGltfSpreadsItsDataOverBinFilesOfBoundedSize)
{
    constexpr std::size_t kMost = 2000;
    plant(std::string(kPlanting) + " -o one.glb");
    plant(std::string(kPlanting) + " -o one-instanced.glb --instances --cell 4");
    setenv("TUFT_GLTF_BIN_BYTES", std::to_string(kMost).c_str(), 1);
    plant(std::string(kPlanting) + " -o split.gltf");
    plant(std::string(kPlanting) + " -o split-instanced.gltf --instances --cell 4");
    unsetenv("TUFT_GLTF_BIN_BYTES");
    for (const auto &[name, single] :
         {std::pair<std::string, std::string>{"split.gltf", "one.glb"},
          std::pair<std::string, std::string>{"split-instanced.gltf", "one-instanced.glb"}}) {
        const Drawn split = read(name), one = read(single);
        EXPECT_TRUE(sameCorners(split.corners, one.corners)) << name;
        EXPECT_TRUE(split.uvs == one.uvs) << name;
        EXPECT_TRUE(split.placements == one.placements) << name;
        const Json &buffers = split.gltf["buffers"];
        ASSERT_GT(buffers.size(), 1u) << name;
        std::set<std::string> uris;
        for (std::size_t b = 0; b < buffers.size(); ++b) {
            const std::string uri = buffers[b]["uri"];
            EXPECT_TRUE(uris.insert(uri).second) << name << ": " << uri << " twice";
            const std::size_t length = buffers[b]["byteLength"];
            EXPECT_EQ(std::filesystem::file_size(scratch / uri), length) << name << ": " << uri;
            std::size_t views = 0;
            for (const Json &view : split.gltf["bufferViews"])
                views += view["buffer"] == b;
            EXPECT_TRUE(length <= kMost || views == 1) << name << ": " << uri << " holds " << length << " bytes";
        }
    }
}

// The table's rows, each a blade's number and ten numbers, parsed as floats.
std::vector<std::pair<double, std::array<float, 10>>> tableRows(const std::string &path, std::string &header)
{
    std::istringstream text(testing::fileText(path));
    std::getline(text, header);
    std::vector<std::pair<double, std::array<float, 10>>> rows;
    for (std::string line; std::getline(text, line);) {
        std::istringstream fields(line);
        std::string field;
        std::getline(fields, field, ',');
        std::pair<double, std::array<float, 10>> row{std::stod(field), {}};
        for (float &value : row.second) {
            std::getline(fields, field, ',');
            value = std::strtof(field.c_str(), nullptr);
        }
        std::getline(fields, field, ',');
        EXPECT_EQ(field, "1") << line; // the layer
        rows.push_back(row);
    }
    return rows;
}

// The table gives every blade the placement the instanced file gives it, to the bit,
// and that placement puts the blade where the realized file has it; a Z-up table turns
// the placements with the file.
TEST_F(InstanceFiles, TheTableOfPlacementsPutsEveryBladeWhereTheFilesDo)
{
    plant(std::string(kPlanting) + " -o realized.glb");
    plant(std::string(kPlanting) + " -o instanced.glb --instances");
    plant(std::string(kPlanting) + " -o blades.csv");
    plant(std::string(kPlanting) + " -o blades-z.csv --up z");
    const Drawn realized = read("realized.glb"), instanced = read("instanced.glb");
    std::string header, headerZ;
    const auto rows = tableRows(scratch / "blades.csv", header), rowsZ = tableRows(scratch / "blades-z.csv", headerZ);
    EXPECT_EQ(header, "id,translation_x,translation_y,translation_z,rotation_x,rotation_y,rotation_z,rotation_w,"
                      "scale_x,scale_y,scale_z,layer");
    EXPECT_EQ(headerZ, header);
    ASSERT_EQ(rows.size(), 400u);
    ASSERT_EQ(rowsZ.size(), rows.size());
    const std::vector<Vec3> &blade = instanced.bladeCorners.at("Grass");
    const std::vector<Vec3> &realizedCorners = realized.corners.at("Grass");
    ASSERT_EQ(realizedCorners.size(), rows.size() * blade.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto &[id, values] = rows[i];
        ASSERT_EQ(id, double(i));
        EXPECT_TRUE(values == instanced.placements.at(id)) << "blade " << i;
        const auto &z = rowsZ[i].second;
        const std::array<float, 10> turned = {values[0], -values[2], values[1], values[3], -values[5],
                                              values[4], values[6],  values[7], values[9], values[8]};
        EXPECT_TRUE(z == turned) << "blade " << i << " in the Z-up table";
        if (i % 37 != 0)
            continue;
        for (std::size_t c = 0; c < blade.size(); ++c) {
            const Vec3 a = realizedCorners[i * blade.size() + c];
            const Vec3 b = applyTrs(&values[0], &values[3], &values[7], blade[c]);
            const double tolerance = 4e-6 * (1 + std::abs(a.x) + std::abs(a.y) + std::abs(a.z));
            EXPECT_NEAR(a.x, b.x, tolerance) << "blade " << i << " corner " << c;
            EXPECT_NEAR(a.y, b.y, tolerance) << "blade " << i << " corner " << c;
            EXPECT_NEAR(a.z, b.z, tolerance) << "blade " << i << " corner " << c;
        }
    }
}

} // namespace
} // namespace tuft
