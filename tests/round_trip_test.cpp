// A user's textured terrain comes back whole after grass is planted on it: positions,
// polygon order, UVs and normals per corner, materials; and the blades carry their UVs.
#include "meshio/gltf_buffers.h"
#include "meshio/meshio.h"
#include "sdk/modeler_host.h"
#include "tests/scratch_directory.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tuft {
namespace {

namespace fs = std::filesystem;

// A corner as a reader sees it: where, its UV and normal (NAN where there is none).
struct Corner {
    host::Vec3 position;
    float uv[2];
    float normal[3];
};

struct Face {
    std::string surface;
    std::vector<Corner> corners;
};

const float *valueOn(const host::Object &object, const host::LayerMesh &mesh, std::uint32_t type, const char *name,
                     std::uint32_t polygon, std::uint32_t point)
{
    const long key = object.findMapKey(type, name);
    return key < 0 ? nullptr : mesh.valueOn(static_cast<std::uint32_t>(key), polygon, point);
}

std::vector<Face> facesOf(const host::Object &object)
{
    const host::LayerMesh &mesh = object.findLayer(1)->mesh;
    std::vector<Face> faces;
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
        const host::Polygon &polygon = mesh.polygon(p);
        Face face{object.surfaceName(polygon.surface), {}};
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
            const std::uint32_t point = mesh.cornerPoint(polygon.firstVertex + k);
            Corner corner{mesh.position(point), {NAN, NAN}, {NAN, NAN, NAN}};
            if (const float *uv = valueOn(object, mesh, MH_MAP_UV, "UV", p, point))
                std::copy_n(uv, 2, corner.uv);
            if (const float *normal = valueOn(object, mesh, host::kNormalMap, "Normal", p, point))
                std::copy_n(normal, 3, corner.normal);
            face.corners.push_back(corner);
        }
        faces.push_back(face);
    }
    return faces;
}

bool same(float a, float b) { return a == b || (std::isnan(a) && std::isnan(b)); }

void expectSameFace(const Face &a, const Face &b, bool surfaces, const std::string &where)
{
    if (surfaces) {
        EXPECT_EQ(a.surface, b.surface) << where;
    }
    ASSERT_EQ(a.corners.size(), b.corners.size()) << where;
    for (std::size_t k = 0; k < a.corners.size(); ++k) {
        const Corner &x = a.corners[k], &y = b.corners[k];
        EXPECT_EQ(x.position.x, y.position.x) << where << " corner " << k;
        EXPECT_EQ(x.position.y, y.position.y) << where << " corner " << k;
        EXPECT_EQ(x.position.z, y.position.z) << where << " corner " << k;
        for (int d = 0; d < 2; ++d)
            EXPECT_TRUE(same(x.uv[d], y.uv[d])) << where << " corner " << k << " uv " << x.uv[d] << " " << y.uv[d];
        for (int d = 0; d < 3; ++d)
            EXPECT_TRUE(same(x.normal[d], y.normal[d])) << where << " corner " << k << " normal";
    }
}

class RoundTrip : public ::testing::Test {
public:
    RoundTrip()
    {
        for (const char *name : {"terrain.obj", "terrain.mtl"})
            fs::copy_file(std::string(TUFT_FIXTURES) + "/" + name, scratch / name);
    }

    void plant(const std::string &arguments) const
    {
        const std::string command =
            "cd " + scratch.path().string() + " && " + TUFTSPROUT_PROGRAM + " plant " + arguments + " 2>>log.txt";
        ASSERT_EQ(std::system(command.c_str()), 0) << arguments;
    }

    host::Object read(const std::string &name) const
    {
        host::Object object;
        meshio::readMesh(scratch / name, object, 1);
        return object;
    }

    testing::ScratchDirectory scratch{"round-trip"};
};

TEST_F(RoundTrip, TheTerrainComesBackWholeInEveryModeAndFormat)
{
    const std::vector<Face> terrain = facesOf(read("terrain.obj"));
    ASSERT_EQ(terrain.size(), 6u);
    // The blades' UVs as the plug-in sets them, from a run without a terrain.
    plant("-o blades.obj --set Add_UV=on --clock 5 --number 40");
    std::set<std::pair<float, float>> bladeUvs;
    for (const Face &face : facesOf(read("blades.obj")))
        for (const Corner &corner : face.corners)
            bladeUvs.insert({corner.uv[0], corner.uv[1]});
    ASSERT_GT(bladeUvs.size(), 5u);

    const std::vector<std::string> modes = {"--number 40", "--mode point --select points:all",
                                            "--mode polygon --select polygons:all"};
    for (const std::string &mode : modes)
        for (const char *format : {"out.obj", "out.ply"}) {
            plant("terrain.obj -o " + std::string(format) + " --set Add_UV=on --clock 5 " + mode);
            const std::vector<Face> back = facesOf(read(format));
            ASSERT_GT(back.size(), terrain.size()) << mode << " " << format;
            const bool obj = format[4] == 'o';
            for (std::size_t f = 0; f < terrain.size(); ++f)
                expectSameFace(terrain[f], back[f], obj, mode + " " + format + " face " + std::to_string(f));
            for (std::size_t f = terrain.size(); f < back.size(); ++f)
                for (const Corner &corner : back[f].corners)
                    EXPECT_EQ(bladeUvs.count({corner.uv[0], corner.uv[1]}), 1u)
                        << mode << " " << format << " blade face " << f << " has UV " << corner.uv[0] << " "
                        << corner.uv[1];
        }
    // In Ground mode the blades are the same with a terrain or without.
    plant("terrain.obj -o ground.obj --set Add_UV=on --clock 5 --number 40");
    const std::vector<Face> blades = facesOf(read("blades.obj")), planted = facesOf(read("ground.obj"));
    ASSERT_EQ(planted.size(), terrain.size() + blades.size());
    for (std::size_t f = 0; f < blades.size(); ++f)
        for (std::size_t k = 0; k < blades[f].corners.size(); ++k)
            for (int d = 0; d < 2; ++d)
                EXPECT_EQ(planted[terrain.size() + f].corners[k].uv[d], blades[f].corners[k].uv[d]);
}

TEST_F(RoundTrip, TheObjKeepsItsLibrariesGroupsAndSmoothingAndNamesMaterialsForTheRest)
{
    plant("terrain.obj -o out.obj --set Add_UV=on --set S_NAME=Blades --clock 5 --number 3");
    std::ifstream in(scratch / "out.obj");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nmtllib terrain.mtl\nmtllib out.mtl\n"), std::string::npos);
    for (const char *line : {"\no Terrain\n", "\ng Lawn\n", "\ng Cliff\n", "\ns 1\n", "\ns 2\n", "\ns off\n",
                             "\nusemtl Grass\n", "\nusemtl Rock\n", "\nusemtl Blades\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    std::ifstream library(scratch / "out.mtl");
    const std::string materials((std::istreambuf_iterator<char>(library)), std::istreambuf_iterator<char>());
    EXPECT_NE(materials.find("newmtl Blades\nKd 0.260 0.550 0.140\n"), std::string::npos) << materials;
    EXPECT_EQ(materials.find("Grass"), std::string::npos) << "a material the input's library defines again";
    // Read back: the groups and smoothing groups are the polygons' again.
    const host::Object back = read("out.obj");
    const host::LayerMesh &mesh = back.findLayer(1)->mesh;
    ASSERT_TRUE(mesh.hasTag(host::kSmoothingTag));
    std::vector<std::uint32_t> smoothing;
    for (std::size_t p = 0; p < 6; ++p)
        smoothing.push_back(mesh.tagValue(host::kSmoothingTag, p));
    EXPECT_EQ(smoothing, (std::vector<std::uint32_t>{1, 1, 2, 2, 2, 0}));
    EXPECT_EQ(back.tagName(mesh.tagValue(host::kPartTag, 3)), "Cliff");
}

// Blades planted without a surface name are "Grass", numbered past the input's own
// surfaces, so the grass never shares the model's material. A glTF file may give two
// materials one name (other programs' do): read back, they stay apart, so a second
// planting leaves the earlier grass its own colour.
TEST_F(RoundTrip, TheGrassHasAMaterialOfItsOwn)
{
    std::ofstream(scratch / "flat.obj") << "v 0 0 0\nv 1 0 0\nv 0 0 1\no Ground_Grid\nf 1 3 2\n";
    plant("flat.obj -o once.obj --mode polygon --select polygons:all --clock 5");
    std::ifstream obj(scratch / "once.obj");
    const std::string text((std::istreambuf_iterator<char>(obj)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("o Ground_Grid\ng Ground_Grid\nusemtl Ground_Grid\nf "), std::string::npos) << text;
    EXPECT_NE(text.find("o Grass\ng Grass\nusemtl Grass\nf "), std::string::npos) << text;
    std::ifstream mtl(scratch / "once.mtl");
    const std::string library((std::istreambuf_iterator<char>(mtl)), std::istreambuf_iterator<char>());
    EXPECT_NE(library.find("newmtl Ground_Grid\nKd 0.620"), std::string::npos) << library;
    EXPECT_NE(library.find("newmtl Grass\nKd 0.260"), std::string::npos) << library;

    // The terrain's library has a "Grass" of its own: the blades' is numbered past it.
    plant("terrain.obj -o numbered.obj --number 3 --clock 5");
    std::ifstream numbered(scratch / "numbered.obj"), numberedLibrary(scratch / "numbered.mtl");
    EXPECT_NE(
        std::string(std::istreambuf_iterator<char>(numbered), {}).find("\no Grass_2\ng Grass_2\nusemtl Grass_2\n"),
        std::string::npos);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(numberedLibrary), {}).find("newmtl Grass_2\nKd 0.260"),
              std::string::npos);

    plant("flat.obj -o once.gltf --mode polygon --select polygons:all --clock 5");
    std::ifstream in(scratch / "once.gltf");
    std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t grass = json.find("\"name\":\"Grass\"");
    ASSERT_NE(grass, std::string::npos) << json;
    std::ofstream(scratch / "same.gltf") << json.replace(grass, 14, "\"name\":\"Ground_Grid\"");
    plant("same.gltf -o twice.glb --mode polygon --select polygons:0 --clock 5");
    const host::Object back = read("twice.glb");
    const host::LayerMesh &mesh = back.findLayer(1)->mesh;
    ASSERT_EQ(mesh.polygonCount(), 1u + 9 + 9); // a blade is 9 triangles in glTF
    const auto colour = [&](std::uint32_t polygon) {
        return back.materials.at(back.surfaceName(mesh.polygon(polygon).surface)).diffuse[0];
    };
    EXPECT_EQ(back.surfaceName(mesh.polygon(0).surface), "Ground_Grid");
    EXPECT_EQ(back.surfaceName(mesh.polygon(1).surface), "Ground_Grid 2");
    EXPECT_EQ(back.surfaceName(mesh.polygon(10).surface), "Grass");
    EXPECT_NE(colour(0), colour(1)); // the ground's beige, the earlier grass's green
    EXPECT_EQ(colour(1), colour(10));
}

TEST_F(RoundTrip, AZUpFileIsTurnedAsReadAndWritten)
{
    plant("terrain.obj -o up.obj --up z --number 2 --clock 5");
    plant("up.obj -o again.obj --up z --number 2 --clock 5 --allow-empty --mode point");
    // Read as Z-up and written as Z-up, the terrain's text is what it was.
    std::ifstream original(scratch / "terrain.obj"), again(scratch / "again.obj");
    std::string line, first, second;
    while (std::getline(original, line))
        if (line.rfind("v ", 0) == 0)
            first += line + "\n";
    while (std::getline(again, line))
        if (line.rfind("v ", 0) == 0)
            second += line + "\n";
    EXPECT_EQ(second.substr(0, first.size()), first);
    // In the object a Z-up file's up is +Y: terrain.obj's heights are its Y, so read as
    // Z-up they lie along -Z.
    host::Object object;
    meshio::readMesh(scratch / "terrain.obj", object, 1, meshio::UpAxis::kZ);
    EXPECT_EQ(object.findLayer(1)->mesh.position(3).z, -0.9000000000000001);
    EXPECT_EQ(object.findLayer(1)->mesh.position(4).y, 1.0);
}

// A user's glTF model (tests/gltf/model.py: the nodes "Rock" and "Pond", the materials
// "Stone" and "Water") planted on and written again keeps what the model says.
class GltfModel : public RoundTrip {
public:
    void model(const std::string &arguments) const
    {
        const std::string command = "python3 " + std::string(TUFT_FIXTURES) + "/../gltf/model.py " + arguments;
        ASSERT_EQ(std::system(("cd " + scratch.path().string() + " && " + command).c_str()), 0) << command;
    }

    // The JSON of a .glb or .gltf file.
    nlohmann::json json(const std::string &name) const
    {
        std::ifstream in(scratch / name, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.compare(0, 4, "glTF") == 0) {
            std::uint32_t length;
            std::memcpy(&length, data.data() + 12, 4);
            data = data.substr(20, length);
        }
        return nlohmann::json::parse(data);
    }

    // The bytes of an image of a written file: its data: URI's, else its buffer view's in
    // the .glb's binary chunk or the .gltf's .bin.
    std::string imageBytes(const std::string &name, std::size_t image) const
    {
        const nlohmann::json gltf = json(name), &source = gltf["images"][image];
        if (source.contains("uri")) {
            const std::string uri = source["uri"];
            EXPECT_EQ(uri.rfind("data:", 0), 0u) << uri;
            return meshio::gltf::dataOfUri(name, uri);
        }
        std::ifstream in(scratch / name, std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (data.compare(0, 4, "glTF") == 0) {
            std::uint32_t length;
            std::memcpy(&length, data.data() + 12, 4);
            data = data.substr(20 + length + 8);
        } else {
            std::ifstream bin(scratch / gltf["buffers"][0]["uri"].get<std::string>(), std::ios::binary);
            data.assign(std::istreambuf_iterator<char>(bin), std::istreambuf_iterator<char>());
        }
        const nlohmann::json &view = gltf["bufferViews"][source["bufferView"].get<std::size_t>()];
        return data.substr(view.value("byteOffset", 0), view["byteLength"].get<std::size_t>());
    }

    // The texture of a written material: its sampler, and the bytes of its image.
    std::pair<nlohmann::json, std::string> textureOf(const std::string &name, const std::string &material) const
    {
        const nlohmann::json gltf = json(name);
        const nlohmann::json &info = named(gltf["materials"], material)["pbrMetallicRoughness"]["baseColorTexture"];
        EXPECT_EQ(info.value("texCoord", 0), 0);
        const nlohmann::json &texture = gltf["textures"][info["index"].get<std::size_t>()];
        return {gltf["samplers"][texture["sampler"].get<std::size_t>()],
                imageBytes(name, texture["source"].get<std::size_t>())};
    }

    static const nlohmann::json &named(const nlohmann::json &list, const std::string &name)
    {
        for (const nlohmann::json &item : list)
            if (item.value("name", "") == name)
                return item;
        ADD_FAILURE() << "nothing named " << name << " in " << list.dump();
        static const nlohmann::json kNone = nlohmann::json::object();
        return kNone;
    }
};

// A material's value, or glTF's default for it.
nlohmann::json factor(const nlohmann::json &material, const char *key, const nlohmann::json &fallback)
{
    const nlohmann::json &pbr = material.value("pbrMetallicRoughness", nlohmann::json::object());
    return pbr.contains(key) ? pbr.at(key) : material.value(key, fallback);
}

TEST_F(GltfModel, MaterialsComeBackWithTheirFactorsAndTheGrassWithItsOwn)
{
    model("model.glb");
    plant("model.glb -o back.glb --mode polygon --select polygons:0 --clock 5");
    const nlohmann::json before = json("model.glb"), after = json("back.glb");
    const std::vector<std::pair<const char *, nlohmann::json>> factors = {
        {"baseColorFactor", {1, 1, 1, 1}}, {"metallicFactor", 1}, {"roughnessFactor", 1}, {"emissiveFactor", {0, 0, 0}},
        {"alphaMode", "OPAQUE"},           {"alphaCutoff", 0.5},  {"doubleSided", false}};
    for (const char *name : {"Stone", "Water"})
        for (const auto &[key, fallback] : factors) {
            const nlohmann::json was = factor(named(before["materials"], name), key, fallback);
            const nlohmann::json is = factor(named(after["materials"], name), key, fallback);
            EXPECT_EQ(was, is) << name << " " << key;
        }
    // Written only where glTF reads it: a cutoff for MASK alone.
    EXPECT_FALSE(named(after["materials"], "Water").contains("alphaCutoff"));
    const nlohmann::json grass = named(after["materials"], "Grass");
    EXPECT_EQ(grass["doubleSided"], true);
    EXPECT_EQ(grass["pbrMetallicRoughness"]["metallicFactor"], 0.0);
    EXPECT_EQ(grass["pbrMetallicRoughness"]["roughnessFactor"], 1.0);
    // The rest of the system sees the base colour.
    const host::Object back = read("back.glb");
    EXPECT_EQ(back.materials.at("Water").diffuse[2], 0.6f);
    EXPECT_EQ(back.materials.at("Water").gltf->baseColor[3], 0.5);
}

TEST_F(GltfModel, NamedNodesComeBackAsNodesOfTheirNamesAndAsObjects)
{
    model("model.glb");
    plant("model.glb -o back.glb --mode polygon --select polygons:0 --clock 5");
    const nlohmann::json after = json("back.glb");
    // A node and mesh for each name; the blades under their layer's, as ever.
    const std::vector<std::pair<std::string, std::string>> nodes = {
        {"Rock", "Stone"}, {"Pond", "Water"}, {"Layer 1", "Grass"}};
    ASSERT_EQ(after["nodes"].size(), nodes.size()) << after["nodes"].dump();
    for (std::size_t n = 0; n < nodes.size(); ++n) {
        const nlohmann::json &node = after["nodes"][n];
        EXPECT_EQ(node["name"], nodes[n].first);
        const nlohmann::json &primitives = after["meshes"][node["mesh"].get<std::size_t>()]["primitives"];
        ASSERT_EQ(primitives.size(), 1u) << nodes[n].first;
        EXPECT_EQ(after["materials"][primitives[0]["material"].get<std::size_t>()]["name"], nodes[n].second);
    }
    // Read, the names are the polygons' object names, which OBJ writes as its objects.
    const host::Object back = read("back.glb");
    const host::LayerMesh &mesh = back.findLayer(1)->mesh;
    ASSERT_TRUE(mesh.hasTag(host::kObjectTag));
    EXPECT_EQ(back.tagName(mesh.tagValue(host::kObjectTag, 0)), "Rock");
    EXPECT_EQ(back.tagName(mesh.tagValue(host::kObjectTag, 1)), "Pond");
    EXPECT_EQ(back.tagName(mesh.tagValue(host::kObjectTag, 2)), "Layer 1");
    plant("model.glb -o back.obj --mode polygon --select polygons:0 --clock 5");
    std::ifstream obj(scratch / "back.obj");
    const std::string text((std::istreambuf_iterator<char>(obj)), std::istreambuf_iterator<char>());
    for (const char *line : {"\no Rock\ng Stone\n", "\no Pond\ng Water\n", "\no Grass\ng Grass\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << text;

    // A node without a name is its nearest named ancestor's.
    model("model.gltf");
    nlohmann::json nested = json("model.gltf");
    nested["nodes"][1].erase("name");
    nested["nodes"].push_back({{"name", "Lake"}, {"children", {1}}});
    nested["scenes"][0]["nodes"] = {0, 2};
    std::ofstream(scratch / "nested.gltf") << nested.dump();
    const host::Object lake = read("nested.gltf");
    ASSERT_TRUE(lake.findLayer(1)->mesh.hasTag(host::kObjectTag));
    EXPECT_EQ(lake.tagName(lake.findLayer(1)->mesh.tagValue(host::kObjectTag, 1)), "Lake");
}

TEST_F(GltfModel, ABaseColourTextureComesBackWithItsSamplerAndImageWhereverTheImageWas)
{
    model("model.glb");
    model("model.gltf"); // the image beside it, in "stone texture.png"
    model("--data-uri model-data.gltf");
    const auto [sampler, png] = textureOf("model.glb", "Stone");
    ASSERT_EQ(png.compare(0, 4, "\x89PNG"), 0);
    // Embedded, the image stays in the file: in a .glb's binary chunk, a .gltf's .bin; a
    // data: URI is kept as it was, but in a .glb, whose images are in its binary chunk.
    for (const auto &[input, output] :
         std::vector<std::pair<std::string, std::string>>{{"model.glb", "back.glb"},
                                                          {"model.glb", "back.gltf"},
                                                          {"model-data.gltf", "data.gltf"},
                                                          {"model-data.gltf", "data.glb"}}) {
        plant(input + " -o " + output + " --mode polygon --select polygons:0 --clock 5");
        const auto [writtenSampler, writtenPng] = textureOf(output, "Stone");
        EXPECT_EQ(writtenSampler, sampler) << output;
        EXPECT_TRUE(writtenPng == png) << output;
        EXPECT_FALSE(named(json(output)["materials"], "Water")["pbrMetallicRoughness"].contains("baseColorTexture"));
    }
    EXPECT_EQ(json("data.gltf")["images"][0]["uri"], json("model-data.gltf")["images"][0]["uri"]);
    EXPECT_EQ(json("data.glb")["images"][0]["mimeType"], "image/png");
    // An image beside the file is named from the output's folder: the same file.
    fs::create_directory(scratch / "below");
    for (const std::string output : {"beside.glb", "below/below.gltf"}) {
        plant("model.gltf -o " + output + " --mode polygon --select polygons:0 --clock 5");
        const nlohmann::json written = json(output);
        EXPECT_EQ(written["images"][0]["uri"],
                  output == "beside.glb" ? "stone%20texture.png" : "../stone%20texture.png");
        EXPECT_EQ(written["images"][0]["name"], "stone");
    }
    // Read again, the texture is the same; from below, where the image is not beside the
    // file (nor below it), it is not kept, and that is told.
    const host::Object back = read("beside.glb");
    const std::optional<host::GltfTexture> &texture = back.materials.at("Stone").gltf->baseColorTexture;
    ASSERT_TRUE(texture);
    EXPECT_EQ(fs::path(texture->image->path), fs::canonical(scratch / "stone texture.png"));
    EXPECT_EQ(texture->sampler->wrapT, 33648);
    host::Object below;
    const meshio::ReadWarnings warnings = meshio::readMesh(scratch / "below/below.gltf", below, 1);
    EXPECT_FALSE(below.materials.at("Stone").gltf->baseColorTexture);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the image ../stone%20texture.png cannot be had"), std::string::npos) << warnings[0];
}

TEST_F(GltfModel, AnObjFileNamesATextureFileAndTellsOfATextureThatWasInside)
{
    model("model.gltf"); // the image beside it
    model("model.glb");  // the image inside
    fs::create_directory(scratch / "below");
    plant("model.gltf -o below/out.obj --mode polygon --select polygons:0 --clock 5");
    std::ifstream library(scratch / "below/out.mtl");
    const std::string text((std::istreambuf_iterator<char>(library)), std::istreambuf_iterator<char>());
    const std::size_t stone = text.find("newmtl Stone\n");
    ASSERT_NE(stone, std::string::npos) << text;
    EXPECT_NE(text.find("map_Kd ../stone texture.png\n", stone), std::string::npos) << text;
    EXPECT_EQ(text.find("map_Kd", text.find("newmtl Water\n")), std::string::npos) << text;

    plant("model.glb -o inside.obj --mode polygon --select polygons:0 --clock 5");
    std::ifstream log(scratch / "log.txt");
    const std::string told((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(
        told.find("inside.obj: the textures the glTF input held inside it (of 1 material, Stone) are not written"),
        std::string::npos)
        << told;
    EXPECT_EQ(told.find("out.obj: the textures"), std::string::npos) << told;
}

TEST_F(GltfModel, WhatCannotBeKeptIsToldOnceForEachKind)
{
    model("--unkept unkept.glb"); // both primitives coloured, both materials with normal textures
    host::Object object;
    const meshio::ReadWarnings warnings = meshio::readMesh(scratch / "unkept.glb", object, 1);
    std::multiset<std::string> told;
    for (const std::string &warning : warnings) {
        const std::string prefix = scratch / "unkept.glb: ", suffix = " are not kept";
        ASSERT_EQ(warning.rfind(prefix, 0), 0u) << warning;
        ASSERT_EQ(warning.substr(warning.size() - suffix.size()), suffix) << warning;
        told.insert(warning.substr(prefix.size(), warning.size() - prefix.size() - suffix.size()));
    }
    EXPECT_EQ(told, (std::multiset<std::string>{"animations", "cameras", "skins", "KHR_materials_* extensions",
                                                "vertex colours", "normal textures"}));
    // What is kept stays: the texture, the names.
    EXPECT_TRUE(object.materials.at("Stone").gltf->baseColorTexture);
    EXPECT_TRUE(object.findLayer(1)->mesh.hasTag(host::kObjectTag));
    // A file without them is read without a word.
    model("model.glb");
    host::Object plain;
    EXPECT_TRUE(meshio::readMesh(scratch / "model.glb", plain, 1).empty());
}

} // namespace
} // namespace tuft
