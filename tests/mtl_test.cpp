// Materials that travel with an OBJ file: the input's libraries named again where the
// output finds them, copied whole (their images found from the new folder) where not.
#include "meshio/meshio.h"
#include "tests/scratch_directory.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include <gtest/gtest.h>

namespace tuft {
namespace {

namespace fs = std::filesystem;

// Three surfaces: two the library defines (one textured), one that no library does
// (its second library is missing); the library defines a fourth no polygon uses.
const char *const kScene = "mtllib scene.mtl gone.mtl\nv 0 0 0\nv 1 0 0\nv 0 0 1\nv 1 0 1\n"
                           "usemtl Lawn\nf 1 3 2\nusemtl Bark\nf 2 3 4\nusemtl Moss\nf 1 2 4\n";
const char *const kLibrary = "# the scene's\nnewmtl Lawn\nKa 0.1 0.1 0.1\nKd 0.2 0.6 0.1\nNs 12\nillum 2\n"
                             "map_Kd -s 1 1 1 -clamp on tex/grass.png\nbump -bm 0.5 tex/grass bump.png  # spaced\n"
                             "\nnewmtl Bark\nKd 0.4 0.3 0.2\nmap_Ks /textures/bark.png\n"
                             "refl -type sphere ../sky.png\nmap_d -o 0.5\n\nnewmtl Unused\nKd 1 1 1\n";

class MaterialLibraries : public ::testing::Test {
public:
    MaterialLibraries()
    {
        fs::create_directories(scratch.path() / "in/tex");
        put("in/scene.obj", kScene);
        put("in/scene.mtl", kLibrary);
        put("in/tex/grass.png", "an image");
    }

    void put(const std::string &name, const std::string &content) const
    {
        std::ofstream(scratch / name, std::ios::binary) << content;
    }
    std::string content(const std::string &name) const
    {
        std::ifstream in(scratch / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // The input read, and written again to `name`.
    void writeSceneTo(const std::string &name) const
    {
        host::Object object;
        meshio::readMesh(scratch / "in/scene.obj", object, 1);
        fs::create_directories(fs::path(scratch / name).parent_path());
        meshio::writeMesh(scratch / name, object, meshio::WriteOptions{});
    }
    // The files of the input's folder and their contents.
    std::map<std::string, std::string> inputFolder() const
    {
        std::map<std::string, std::string> files;
        for (const fs::directory_entry &entry : fs::recursive_directory_iterator(scratch.path() / "in")) {
            const std::string name = entry.path().lexically_relative(scratch.path()).generic_string();
            files[name] = entry.is_regular_file() ? content(name) : "";
        }
        return files;
    }

    testing::ScratchDirectory scratch{"mtl"};
};

TEST_F(MaterialLibraries, BesideItsInputTheOutputNamesTheLibrariesALineEachAndWritesOnlyTheRest)
{
    writeSceneTo("in/out.obj");
    EXPECT_EQ(content("in/out.obj")
                  .rfind("# planted by tuftsprout\nmtllib scene.mtl\nmtllib gone.mtl\n"
                         "mtllib out.mtl\nv ",
                         0),
              0u)
        << content("in/out.obj");
    EXPECT_EQ(content("in/scene.mtl"), kLibrary);
    EXPECT_EQ(content("in/out.mtl"),
              "# the surfaces of out.obj, written by tuftsprout\n\nnewmtl Moss\n"
              "Kd 0.700 0.620 0.350\nKa 0.000 0.000 0.000\nKs 0.000 0.000 0.000\nd 1\nillum 1\n");
}

TEST_F(MaterialLibraries, ElsewhereTheUsedMaterialsAreCopiedWholeAndTheirImagesFoundFromThere)
{
    const std::map<std::string, std::string> input = inputFolder();
    writeSceneTo("other/deeper/out.obj");
    const std::string obj = content("other/deeper/out.obj");
    EXPECT_EQ(obj.rfind("# planted by tuftsprout\nmtllib out.mtl\nv ", 0), 0u) << obj;
    const std::string copied = content("other/deeper/out.mtl");
    // (Unused: no polygon uses it.)
    EXPECT_EQ(copied, "# the surfaces of out.obj, written by tuftsprout\n\nnewmtl Lawn\nKa 0.1 0.1 0.1\n"
                      "Kd 0.2 0.6 0.1\nNs 12\nillum 2\nmap_Kd -s 1 1 1 -clamp on ../../in/tex/grass.png\n"
                      "bump -bm 0.5 ../../in/tex/grass bump.png\n\nnewmtl Bark\nKd 0.4 0.3 0.2\n"
                      "map_Ks /textures/bark.png\nrefl -type sphere ../../sky.png\nmap_d -o 0.5\n\nnewmtl Moss\n"
                      "Kd 0.700 0.620 0.350\nKa 0.000 0.000 0.000\nKs 0.000 0.000 0.000\nd 1\nillum 1\n");
    EXPECT_TRUE(fs::is_regular_file(scratch.path() / "other/deeper/../../in/tex/grass.png"));
    EXPECT_EQ(inputFolder(), input) << "a file written in the input's folder";

    // Read back, the copy is the material as the input's library had it.
    host::Object back;
    meshio::readMesh(scratch / "other/deeper/out.obj", back, 1);
    const host::Material &lawn = back.materials.at("Lawn");
    EXPECT_EQ(std::vector<float>(lawn.diffuse, lawn.diffuse + 3), (std::vector<float>{0.2f, 0.6f, 0.1f}));
    EXPECT_EQ(lawn.statements, "Ka 0.1 0.1 0.1\nKd 0.2 0.6 0.1\nNs 12\nillum 2\n"
                               "map_Kd -s 1 1 1 -clamp on ../../in/tex/grass.png\n"
                               "bump -bm 0.5 ../../in/tex/grass bump.png\n");
}

// A library is found beside the output when it is the same file under the same name:
// not another file of that name, and a link to it is as good as the file.
TEST_F(MaterialLibraries, TheLibraryBesideTheOutputIsToldByWhatItIs)
{
    fs::create_directories(scratch.path() / "other");
    put("other/scene.mtl", "newmtl Lawn\nKd 1 0 0\n");
    writeSceneTo("other/out.obj");
    EXPECT_EQ(content("other/out.obj").find("mtllib scene.mtl"), std::string::npos);
    EXPECT_NE(content("other/out.mtl").find("map_Kd -s 1 1 1 -clamp on ../in/tex/grass.png\n"), std::string::npos);
    EXPECT_EQ(content("other/scene.mtl"), "newmtl Lawn\nKd 1 0 0\n");
#ifndef _WIN32
    fs::create_directories(scratch.path() / "linked");
    fs::create_symlink("../in/scene.mtl", scratch.path() / "linked/scene.mtl");
    writeSceneTo("linked/out.obj");
    EXPECT_EQ(content("linked/out.obj").rfind("# planted by tuftsprout\nmtllib scene.mtl\nmtllib out.mtl\nv ", 0), 0u)
        << content("linked/out.obj");
    EXPECT_EQ(content("linked/out.mtl").find("Lawn"), std::string::npos);
#endif
}

} // namespace
} // namespace tuft
