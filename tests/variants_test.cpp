// Blades mixed by weight: shares that follow the weights, each variant's blade as its
// preset or mesh makes it alone, and the surfaces that tell them apart.
#include "app/variants.h"
#include "tests/scratch_directory.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include <gtest/gtest.h>

namespace tuft {
namespace {

TEST(Variants, SharesFollowTheWeights)
{
    for (const std::vector<double> &weights :
         std::vector<std::vector<double>>{{1}, {3, 1}, {1, 1, 1}, {0.05, 2, 1}, {1e-9, 1}, {2.5, 2.5, 5}}) {
        double sum = 0;
        for (double w : weights)
            sum += w;
        for (std::uint64_t total : {0ull, 1ull, 7ull, 1000ull, 99999ull}) {
            const std::vector<std::uint64_t> parts = app::splitByWeight(total, weights);
            std::uint64_t given = 0;
            for (std::size_t i = 0; i < parts.size(); ++i) {
                given += parts[i];
                EXPECT_LT(std::abs(double(parts[i]) - double(total) * weights[i] / sum), 1.0) << total << " " << i;
            }
            EXPECT_EQ(given, total);
        }
        // At random, by weight: within 2% of each share at 10^5 targets.
        const std::vector<std::uint32_t> share = app::shareByWeight(100000, weights, 42);
        for (std::size_t i = 0; i < weights.size(); ++i) {
            const double got = double(std::count(share.begin(), share.end(), i)) / 100000;
            EXPECT_NEAR(got, weights[i] / sum, 0.02) << i;
        }
        EXPECT_EQ(app::shareByWeight(1000, weights, 42), app::shareByWeight(1000, weights, 42));
    }
    EXPECT_NE(app::shareByWeight(1000, {1, 1}, 1), app::shareByWeight(1000, {1, 1}, 2));
}

TEST(Variants, APathAndAWeightAreReadAndAnythingElseIsRefused)
{
    const app::Variant plain = app::parseVariant("presets/short.zts");
    EXPECT_EQ(plain.path, "presets/short.zts");
    EXPECT_EQ(plain.weight, 1);
    EXPECT_FALSE(plain.mesh);
    const app::Variant daisy = app::parseVariant("C:\\flowers\\daisy.obj:0.05");
    EXPECT_EQ(daisy.path, "C:\\flowers\\daisy.obj");
    EXPECT_EQ(daisy.weight, 0.05);
    EXPECT_TRUE(daisy.mesh);
    EXPECT_EQ(app::variantSurface(daisy), "daisy");
    EXPECT_EQ(app::variantSurface(plain), "short");
    EXPECT_EQ(app::parseVariant("C:\\tall.ZTS").path, "C:\\tall.ZTS");
    for (const char *bad : {"short.zts:0", "short.zts:-1", "short.zts:nan", "short.zts:inf",
                            "short.zts:", "short.zts:1x", "short.txt", "short.txt:2", "short"})
        EXPECT_THROW(app::parseVariant(bad), app::UsageError) << bad;
}

class VariantRuns : public ::testing::Test {
public:
    void SetUp() override
    {
        std::ofstream(scratch / "ground.obj") << "usemtl Ground\nv -20 0 -20\nv 20 0 -20\nv 20 0 20\nv -20 0 20\n"
                                                 "f 1 4 3 2\n";
        // Two blades of other shapes, saved as a user saves presets.
        tuftsprout("plant --save-preset short --size 0.15 --division 4 --cancel");
        tuftsprout("plant --save-preset tall --size 0.6 --division 7 --cancel");
    }

    void tuftsprout(const std::string &arguments) const
    {
        const std::string command =
            "cd " + scratch.path().string() + " && " + TUFTSPROUT_PROGRAM + " " + arguments + " >/dev/null 2>>log.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << arguments;
    }

    // An OBJ file's points, and its faces by material.
    struct Obj {
        std::vector<std::array<double, 3>> points;
        std::map<std::string, std::size_t> faces;
        std::map<std::string, std::size_t> firstPoint; // the first point the material's faces use
    };
    Obj read(const std::string &name) const
    {
        std::ifstream in(scratch / name);
        Obj obj;
        std::string line, material;
        while (std::getline(in, line)) {
            std::istringstream words(line);
            std::string keyword;
            words >> keyword;
            if (keyword == "v") {
                std::array<double, 3> p{};
                words >> p[0] >> p[1] >> p[2];
                obj.points.push_back(p);
            } else if (keyword == "usemtl") {
                words >> material;
            } else if (keyword == "f") {
                ++obj.faces[material];
                auto &first = obj.firstPoint.emplace(material, SIZE_MAX).first->second;
                for (std::size_t corner; words >> corner;)
                    first = std::min(first, corner - 1);
            }
        }
        return obj;
    }

    testing::ScratchDirectory scratch{"variants"};
};

TEST_F(VariantRuns, ScatteredTargetsAreSharedByWeightAMeshAmongThem)
{
    const std::string tuft = std::string(TUFT_FIXTURES) + "/tuft.obj";
    tuftsprout("plant ground.obj -o mixed.obj --scatter 100000 --clock 5 --variant short.zts:2 --variant tall.zts "
               "--variant " +
               tuft + ":1");
    tuftsprout("plant -o short-alone.obj --load-preset short.zts --number 1");
    tuftsprout("plant -o tall-alone.obj --load-preset tall.zts --number 1");
    const Obj mixed = read("mixed.obj");
    const std::size_t shortFaces = read("short-alone.obj").faces.begin()->second;
    const std::size_t tallFaces = read("tall-alone.obj").faces.begin()->second;
    ASSERT_NE(shortFaces, tallFaces);
    const double blades[3] = {double(mixed.faces.at("short")) / shortFaces, double(mixed.faces.at("tall")) / tallFaces,
                              double(mixed.faces.at("Default"))}; // the tuft is one triangle
    EXPECT_EQ(blades[0] + blades[1] + blades[2], 100000);
    EXPECT_NEAR(blades[0] / 100000, 0.5, 0.02 * 0.5);
    EXPECT_NEAR(blades[1] / 100000, 0.25, 0.02 * 0.25);
    EXPECT_NEAR(blades[2] / 100000, 0.25, 0.02 * 0.25);
}

TEST_F(VariantRuns, GroundSplitsNumberAndEachBladeIsItsPresetsOrMeshsAlone)
{
    const std::string tuft = std::string(TUFT_FIXTURES) + "/tuft.obj";
    const std::string still = " --roughness 0 --rotation 0 --clock 9";
    tuftsprout("plant -o mixed.obj --number 1000 --variant short.zts:3 --variant tall.zts --variant " + tuft + still);
    const Obj mixed = read("mixed.obj");
    tuftsprout("plant -o short-alone.obj --load-preset short.zts --number 1" + still);
    tuftsprout("plant -o tall-alone.obj --load-preset tall.zts --number 1" + still);
    tuftsprout("plant -o tuft-alone.obj --number 1 --bg-layer " + tuft + still);
    // 1000 by 3 : 1 : 1, exactly.
    const std::map<std::string, std::size_t> counts = {{"short", 600}, {"tall", 200}, {"Default", 200}};
    for (const auto &[surface, blades] : counts) {
        const Obj alone = read(surface == "Default" ? "tuft-alone.obj" : surface + "-alone.obj");
        const std::size_t faces = alone.faces.at(surface == "Default" ? "Default" : "Grass");
        EXPECT_EQ(mixed.faces.at(surface), blades * faces) << surface;
        // The variant's first blade is the blade alone, moved.
        const std::size_t first = mixed.firstPoint.at(surface);
        const std::size_t points = alone.points.size();
        for (std::size_t p = 0; p < points; ++p)
            for (int k = 0; k < 3; ++k)
                EXPECT_NEAR(mixed.points[first + p][k] - mixed.points[first][k],
                            alone.points[p][k] - alone.points[0][k], 1e-9)
                    << surface << ", point " << p;
    }
}

TEST_F(VariantRuns, ThePinnedClockRepeatsTheMixByteForByte)
{
    const std::string run = " --scatter 2000 --clump 30,0.5 --edge-falloff 1 --colour '#2e5a1c,#b5a642' "
                            "--colour-jitter 0.5 --variant short.zts --variant tall.zts:2 --clock 4";
    tuftsprout("plant ground.obj -o first.ply" + run);
    tuftsprout("plant ground.obj -o again.ply" + run);
    tuftsprout("plant ground.obj -o other.ply" + run.substr(0, run.size() - 1) + "5");
    const auto bytes = [&](const std::string &name) {
        std::ifstream in(scratch / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(bytes("first.ply"), bytes("again.ply"));
    EXPECT_NE(bytes("first.ply"), bytes("other.ply"));
}

TEST_F(VariantRuns, ASurfaceNamedByTheUserIsEveryPresetVariants)
{
    tuftsprout("plant -o named.obj --number 10 --clock 2 --variant short.zts --variant tall.zts --set S_NAME=Lawn");
    const Obj named = read("named.obj");
    EXPECT_EQ(named.faces.size(), 1u);
    EXPECT_EQ(named.faces.count("Lawn"), 1u);
}

} // namespace
} // namespace tuft
