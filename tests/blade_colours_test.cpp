// Blades coloured between two colours: the field is smooth where it should be and covers
// the range where blades stand far apart, and every format carries each blade's colour,
// read back apart from the writers.
#include "app/blade_colours.h"
#include "app/plant_job.h"
#include "tests/instanced_gltf.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>

#include <gtest/gtest.h>

namespace tuft {
namespace {

using meshio::Rgb;
using testing::Json;

app::ColourOptions twoColours(double jitter = 0)
{
    app::ColourOptions options = app::parseColourPair("#1a4010,#D0B060");
    options.jitter = jitter;
    return options;
}

TEST(ColourField, NearBladesDifferLittleAndFarOnesCoverTheRange)
{
    const double scale = 3;
    const app::ColourField field(twoColours(), scale, 11);
    std::mt19937 random(5);
    std::uniform_real_distribution<double> where(-500, 500), direction(0, 2 * M_PI);
    double largestStep = 0, lowest = 1, highest = 0;
    for (int i = 0; i < 20000; ++i) {
        const double x = where(random), z = where(random), a = direction(random);
        const double step =
            std::abs(field.mixAt(x, z, 1) - field.mixAt(x + scale / 10 * std::cos(a), z + scale / 10 * std::sin(a), 2));
        largestStep = std::max(largestStep, step);
        lowest = std::min(lowest, field.mixAt(x, z, 0));
        highest = std::max(highest, field.mixAt(x, z, 0));
    }
    EXPECT_LT(largestStep, 0.25); // the quintic fade's slope is at most 15/8 a lattice unit
    EXPECT_LT(lowest, 0.05);
    EXPECT_GT(highest, 0.95);
    // The field's ends are the two colours themselves.
    const app::ColourField flat(twoColours(), 1e300, 11);
    const Rgb from{0x1a, 0x40, 0x10}, to{0xd0, 0xb0, 0x60};
    for (double x : {0.0, 1.0, -7.5}) {
        const Rgb c = flat.colourAt(x, x, 0);
        EXPECT_TRUE(c == from || c == to || (c[0] > from[0] && c[0] < to[0])) << x;
    }
}

TEST(ColourField, JitterGivesEachBladeAPartOfItsOwnAndTheSeedAnotherField)
{
    const app::ColourField smooth(twoColours(0), 2, 3), jittered(twoColours(1), 2, 3), other(twoColours(0), 2, 4);
    int differ = 0, seeds = 0;
    for (std::uint64_t blade = 0; blade < 1000; ++blade) {
        const double x = 0.37 * static_cast<double>(blade), z = -0.11 * static_cast<double>(blade);
        EXPECT_EQ(smooth.mixAt(x, z, blade), smooth.mixAt(x, z, blade + 77)); // one spot, one colour
        differ += std::abs(jittered.mixAt(1, 1, blade) - jittered.mixAt(1, 1, blade + 1)) > 0.05;
        seeds += std::abs(smooth.mixAt(x, z, 0) - other.mixAt(x, z, 0)) > 0.05;
    }
    EXPECT_GT(differ, 800);
    EXPECT_GT(seeds, 600);
}

TEST(ColourField, OnlyTwoColoursWrittenHashRrggbbAreTaken)
{
    const Rgb c = app::parseHexColour("#4A7a2c", "--colour");
    EXPECT_EQ(c, (Rgb{0x4a, 0x7a, 0x2c}));
    for (const char *bad : {"4a7a2c", "#4a7a2", "#4a7a2g", "#4a7a2c0", "", "#", "# 4a7a2c"})
        EXPECT_THROW(app::parseHexColour(bad, "--colour"), app::UsageError) << bad;
    for (const char *bad : {"#4a7a2c", "#4a7a2c,", ",#4a7a2c", "#4a7a2c,#000000,#ffffff", "#4a7a2c;#000000"})
        EXPECT_THROW(app::parseColourPair(bad), app::UsageError) << bad;
}

// The colours a file gives its points, in the order it lists them.
class ColouredFiles : public ::testing::Test {
public:
    void plant(const std::string &arguments) const
    {
        const std::string command = "cd " + scratch.path().string() + " && " + TUFTSPROUT_PROGRAM + " plant " +
                                    std::string(TUFT_FIXTURES) + "/terrain.obj " + arguments + " 2>>log.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << arguments;
    }
    std::string path(const std::string &name) const { return scratch / name; }

    // The last three numbers of each vertex line of a text PLY: red, green, blue.
    std::vector<Rgb> asciiPly(const std::string &name) const
    {
        std::istringstream in(testing::fileText(path(name)));
        std::string line;
        std::size_t vertices = 0;
        while (std::getline(in, line) && line != "end_header")
            if (line.rfind("element vertex ", 0) == 0)
                vertices = std::stoul(line.substr(15));
        std::vector<Rgb> colours;
        for (std::size_t i = 0; i < vertices && std::getline(in, line); ++i) {
            std::vector<std::string> words;
            std::istringstream fields(line);
            for (std::string word; fields >> word;)
                words.push_back(word);
            Rgb rgb{};
            for (int c = 0; c < 3; ++c)
                rgb[c] = static_cast<std::uint8_t>(std::stoi(words[words.size() - 3 + c]));
            colours.push_back(rgb);
        }
        return colours;
    }
    // Each point's colour by where it is (as floats), from a text PLY.
    std::map<std::array<float, 3>, Rgb> placesOf(const std::string &name, const std::vector<Rgb> &colours) const
    {
        std::istringstream in(testing::fileText(path(name)));
        std::string line;
        while (std::getline(in, line) && line != "end_header") {
        }
        std::map<std::array<float, 3>, Rgb> byPlace;
        for (const Rgb &colour : colours) {
            std::getline(in, line);
            std::istringstream fields(line);
            double x, y, z;
            fields >> x >> y >> z;
            byPlace[{float(x), float(y), float(z)}] = colour;
        }
        return byPlace;
    }
    // A binary PLY's vertices: three doubles, floats, then red, green and blue.
    std::vector<Rgb> binaryPly(const std::string &name) const
    {
        const std::string data = testing::fileText(path(name));
        const std::size_t body = data.find("end_header\n") + 11;
        const std::size_t count = std::stoul(data.substr(data.find("element vertex ") + 15));
        std::size_t floats = 0;
        for (std::size_t at = data.find("property float"); at < data.find("element face");
             at = data.find("property float", at + 1))
            ++floats;
        const std::size_t stride = 24 + 4 * floats + 3;
        std::vector<Rgb> colours(count);
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(colours[i].data(), data.data() + body + i * stride + stride - 3, 3);
        return colours;
    }
    std::vector<Rgb> obj(const std::string &name) const
    {
        std::istringstream in(testing::fileText(path(name)));
        std::string line;
        std::vector<Rgb> colours;
        while (std::getline(in, line))
            if (line.rfind("v ", 0) == 0) {
                std::istringstream fields(line.substr(2));
                double x, y, z, c[3];
                fields >> x >> y >> z >> c[0] >> c[1] >> c[2];
                EXPECT_TRUE(fields) << line;
                colours.push_back({std::uint8_t(std::lround(c[0] * 255)), std::uint8_t(std::lround(c[1] * 255)),
                                   std::uint8_t(std::lround(c[2] * 255))});
            }
        return colours;
    }

    testing::ScratchDirectory scratch{"blade-colours"};
};

std::uint8_t srgbOf(double linear)
{
    const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(c * 255));
}

TEST_F(ColouredFiles, EveryFormatGivesEachBladeOneColourAndTheRestWhite)
{
    const std::string run = "--number 60 --field 4 --clock 8 --colour '#2050e0,#e05020' --colour-jitter 0.3";
    plant("-o coloured.ply --ascii " + run);
    plant("-o coloured-binary.ply " + run);
    plant("-o coloured.obj " + run);
    plant("-o coloured.glb " + run);
    plant("-o coloured-instances.glb --instances " + run);
    const std::vector<Rgb> colours = obj("coloured.obj"); // the points, in order
    constexpr std::size_t kBlades = 60;
    const Rgb white{255, 255, 255};
    // The terrain's points come first, white; none of the blades' is.
    const std::size_t kTerrainPoints =
        std::find_if(colours.begin(), colours.end(), [&](const Rgb &c) { return c != white; }) - colours.begin();
    ASSERT_GE(kTerrainPoints, 12u);
    const std::size_t bladePoints = (colours.size() - kTerrainPoints) / kBlades;
    ASSERT_EQ(kTerrainPoints + kBlades * bladePoints, colours.size());
    std::vector<Rgb> blades;
    for (std::size_t b = 0; b < kBlades; ++b) {
        const std::size_t first = kTerrainPoints + b * bladePoints;
        blades.push_back(colours[first]);
        for (std::size_t p = first; p < first + bladePoints; ++p)
            EXPECT_EQ(colours[p], colours[first]) << "blade " << b << ", point " << p;
        EXPECT_GT(int(colours[first][0]) + colours[first][2], 250) << "blade " << b << " is not between the two";
    }
    std::sort(blades.begin(), blades.end());
    EXPECT_GT(std::unique(blades.begin(), blades.end()) - blades.begin(), 20) << "blades hardly differ";
    // PLY lists the points first, then a copy of a point for each other UV or normal it takes.
    for (const std::vector<Rgb> &ply : {asciiPly("coloured.ply"), binaryPly("coloured-binary.ply")}) {
        ASSERT_GE(ply.size(), colours.size());
        EXPECT_EQ(std::vector<Rgb>(ply.begin(), ply.begin() + static_cast<std::ptrdiff_t>(colours.size())), colours);
    }
    const std::map<std::array<float, 3>, Rgb> byPlace = placesOf("coloured.ply", colours);

    // glTF: a vertex per point and surface, COLOR_0 linear; the instanced blades' colour
    // on their placements (_COLOR_0, by _ID), the blade itself and its material white.
    for (const char *name : {"coloured.glb", "coloured-instances.glb"}) {
        const testing::Drawn file = testing::drawn(path(name));
        const meshio::gltf::Buffers buffers = [&] {
            meshio::gltf::Buffers loaded(path(name), {});
            std::optional<std::string> binary;
            meshio::gltf::jsonOfGlb(path(name), testing::fileText(path(name)), binary);
            loaded.load(file.gltf, binary);
            return loaded;
        }();
        std::size_t instanced = 0, coloured = 0;
        for (const auto &node : file.gltf["nodes"]) {
            const auto &mesh = file.gltf["meshes"][node["mesh"].get<std::size_t>()];
            for (const auto &primitive : mesh["primitives"]) {
                const auto colour = buffers.accessor(file.gltf, primitive["attributes"]["COLOR_0"], 3, "COLOR_0");
                const auto position = buffers.accessor(file.gltf, primitive["attributes"]["POSITION"], 3, "POSITION");
                ASSERT_EQ(colour.size(), position.size());
                for (std::size_t v = 0; v < colour.size() / 3; ++v) {
                    const Rgb got{srgbOf(colour[3 * v]), srgbOf(colour[3 * v + 1]), srgbOf(colour[3 * v + 2])};
                    coloured += got != white;
                    const auto found =
                        byPlace.find({float(position[3 * v]), float(position[3 * v + 1]), float(position[3 * v + 2])});
                    if (!node.contains("extensions") && found != byPlace.end()) {
                        EXPECT_EQ(got, found->second) << name << ", vertex " << v;
                    }
                }
            }
            if (!node.contains("extensions"))
                continue;
            const auto &attributes = node["extensions"]["EXT_mesh_gpu_instancing"]["attributes"];
            const auto ids = buffers.accessor(file.gltf, attributes["_ID"], 1, "_ID");
            const auto colour = buffers.accessor(file.gltf, attributes["_COLOR_0"], 3, "_COLOR_0");
            ASSERT_EQ(colour.size(), 3 * ids.size());
            for (std::size_t k = 0; k < ids.size(); ++k) {
                const Rgb got{srgbOf(colour[3 * k]), srgbOf(colour[3 * k + 1]), srgbOf(colour[3 * k + 2])};
                EXPECT_EQ(got, colours[kTerrainPoints + static_cast<std::size_t>(ids[k]) * bladePoints]) << ids[k];
            }
            instanced += ids.size();
        }
        const bool realized = std::string(name) == "coloured.glb";
        EXPECT_EQ(instanced, realized ? 0 : kBlades);
        EXPECT_EQ(coloured, realized ? kBlades * bladePoints : 0) << name; // a blade drawn by instances is white
        // The blades' material white, for glTF multiplies their colours into it; the
        // terrain's own as it was.
        for (const auto &material : file.gltf["materials"])
            EXPECT_EQ(material["pbrMetallicRoughness"]["baseColorFactor"] == Json::parse("[1,1,1,1]"),
                      material["name"] == "Grass 2")
                << material["name"];
    }
}

} // namespace
} // namespace tuft
