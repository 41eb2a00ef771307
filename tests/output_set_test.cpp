// A run's files put in place together, files told apart by what they are, and the files
// written beside an output named so that they read back.
#include "meshio/file_system.h"
#include "meshio/meshio.h"
#include "meshio/output_set.h"
#include "meshio/writing.h"
#include "tests/sample_object.h"
#include "tests/scratch_directory.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace tuft {
namespace {

namespace fs = std::filesystem;

class OutputFiles : public ::testing::Test {
public:
    std::string path(const std::string &name) const { return scratch / name; }
    void put(const std::string &name, const std::string &content) const
    {
        std::ofstream(path(name), std::ios::binary) << content;
    }
    std::string content(const std::string &name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const fs::directory_entry &entry : fs::directory_iterator(scratch.path()))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    static void write(meshio::OutputSet &outputs, const std::string &path, const std::string &text)
    {
        meshio::AtomicFile &file = outputs.add(path);
        file.write(text.data(), text.size());
        file.complete();
    }

    testing::ScratchDirectory scratch{"outputs"};
};

TEST_F(OutputFiles, NoTargetChangesBeforeEveryFileIsCompleteAndCommitted)
{
    put("a.obj", "old a");
    put("b.png", "old b");
    {
        meshio::OutputSet outputs;
        write(outputs, path("a.obj"), "new a");
        write(outputs, path("b.png"), "new b");
        write(outputs, path("c.txt"), "new c");
        EXPECT_EQ(content("a.obj"), "old a");
        EXPECT_EQ(content("b.png"), "old b");
        EXPECT_FALSE(fs::exists(path("c.txt")));
        outputs.commit();
    }
    EXPECT_EQ(content("a.obj"), "new a");
    EXPECT_EQ(content("b.png"), "new b");
    EXPECT_EQ(content("c.txt"), "new c");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.obj", "b.png", "c.txt"}));
}

TEST_F(OutputFiles, ASetGivenUpChangesNothingAndLeavesNothing)
{
    put("a.obj", "old a");
    {
        meshio::OutputSet outputs;
        write(outputs, path("a.obj"), "new a");
        write(outputs, path("b.png"), "new b");
        outputs.add(path("c.txt")).write("half", 4); // the run failed while writing it
    }
    EXPECT_EQ(content("a.obj"), "old a");
    EXPECT_EQ(names(), std::vector<std::string>{"a.obj"});
}

TEST_F(OutputFiles, AFileAnotherWriterFillsIsPutInPlaceWithTheOthers)
{
    put("p.zts", "old preset");
    meshio::OutputSet outputs;
    const std::string staged = outputs.reserve(path("p.zts"));
    std::ofstream(staged, std::ios::binary) << "new preset";
    write(outputs, path("a.obj"), "new a");
    EXPECT_EQ(content("p.zts"), "old preset");
    outputs.commit();
    EXPECT_EQ(content("p.zts"), "new preset");
    EXPECT_EQ(names(), (std::vector<std::string>{"a.obj", "p.zts"}));
}

// Pairs of names and whether they name one file: after links and "..", for files that
// exist and for those that do not yet.
TEST_F(OutputFiles, FilesAreToldApartByWhatTheyAreNotByTheirNames)
{
    put("x.obj", "x");
    put("y.obj", "y");
    fs::create_directory(path("sub"));
    struct Case {
        const char *a, *b;
        bool same;
    } cases[] = {
        {"x.obj", "x.obj", true},          {"x.obj", "./x.obj", true},     {"x.obj", "sub/../x.obj", true},
        {"x.obj", "y.obj", false},         {"new.obj", "./new.obj", true}, {"new.obj", "sub/../new.obj", true},
        {"new.obj", "sub/new.obj", false}, {"new.obj", "x.obj", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(meshio::files::fileIdentity(path(c.a)) == meshio::files::fileIdentity(path(c.b)), c.same)
            << c.a << " and " << c.b;
#ifndef _WIN32
    fs::create_symlink("x.obj", path("link.obj"));
    fs::create_hard_link(path("x.obj"), path("hard.obj"));
    fs::create_symlink("sub/later.obj", path("dangling.obj"));
    EXPECT_EQ(meshio::files::fileIdentity(path("link.obj")), meshio::files::fileIdentity(path("x.obj")));
    EXPECT_EQ(meshio::files::fileIdentity(path("hard.obj")), meshio::files::fileIdentity(path("x.obj")));
    EXPECT_EQ(meshio::files::fileIdentity(path("dangling.obj")), meshio::files::fileIdentity(path("sub/later.obj")));
#endif
}

TEST_F(OutputFiles, CompanionsAreNamedAfterTheFileActuallyWritten)
{
    fs::create_directory(path("sub.v2"));
    EXPECT_EQ(meshio::companionPath(path("a.gltf"), ".bin"), path("a.bin"));
    EXPECT_EQ(meshio::companionPath(path("sub.v2/a"), ".mtl"), path("sub.v2/a.mtl"));
    EXPECT_EQ(meshio::companionPath(path("a.b.obj"), "-surfaces.mtl"), path("a.b-surfaces.mtl"));
#ifndef _WIN32
    fs::create_symlink("sub.v2/real.gltf", path("link.gltf"));
    EXPECT_EQ(meshio::companionPath(path("link.gltf"), ".bin"), path("sub.v2/real.bin"));
#endif
}

// Names that a URI or an mtllib line would carry wrongly read back, or are refused.
TEST_F(OutputFiles, NamesReadBackWhateverTheirCharacters)
{
    const host::Object object = testing::sampleObject();
    std::size_t plainPolygons = 0; // glTF's triangles: read back from a plain name first
    std::vector<std::string> names = {"plain.gltf", "a b#1%.gltf", "é ü.gltf"};
#ifndef _WIN32
    names.push_back("new\nline.gltf"); // Windows names cannot hold control characters
#endif
    for (const std::string &name : names) {
        meshio::writeMesh(path(name), object, meshio::LayerChoice::kCurrent);
        host::Object back;
        std::vector<std::string> companions;
        EXPECT_NO_THROW(meshio::readMesh(path(name), back, 1, meshio::UpAxis::kY, &companions)) << name;
        ASSERT_EQ(companions.size(), 1u) << name;
        EXPECT_EQ(meshio::files::fileIdentity(companions[0]),
                  meshio::files::fileIdentity(meshio::companionPath(path(name), ".bin")));
        plainPolygons = plainPolygons == 0 ? back.findLayer(1)->mesh.polygonCount() : plainPolygons;
        EXPECT_EQ(back.findLayer(1)->mesh.polygonCount(), plainPolygons) << name;
    }
    EXPECT_NE(content("a b#1%.gltf").find("\"uri\":\"a%20b%231%25.bin\""), std::string::npos);
    for (const std::string name : {"a b.obj", "a#b.obj", "a\tb.obj", "new\nline.obj"})
        EXPECT_NE(meshio::outputNameProblem(name).find("choose a name without"), std::string::npos) << name;
    for (const std::string name : {"a_b.obj", "a b.gltf", "a#b.ply", "a b.glb"})
        EXPECT_EQ(meshio::outputNameProblem(name), "") << name;
}

TEST_F(OutputFiles, AReadTellsTheFilesTheMeshNamed)
{
    put("lib.mtl", "newmtl red\nKd 1 0 0\n");
    put("in.obj", "mtllib ./lib.mtl missing.mtl\nv 0 0 0\nv 1 0 0\nv 0 0 1\nusemtl red\nf 1 2 3\n");
    host::Object object;
    std::vector<std::string> companions;
    meshio::readMesh(path("in.obj"), object, 1, meshio::UpAxis::kY, &companions);
    ASSERT_EQ(companions.size(), 1u); // the missing one was not read
    EXPECT_EQ(meshio::files::fileIdentity(companions[0]), meshio::files::fileIdentity(path("lib.mtl")));
}

} // namespace
} // namespace tuft
