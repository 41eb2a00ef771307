#include "tests/plugin_fixture.h"
#include "tests/scratch_directory.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace tuft::testing {
namespace {

namespace fs = std::filesystem;

class Preset : public PluginTest {
public:
    Preset() { modeler.setContentDirectory(directory.string()); }

    std::string path(const std::string &name) const { return scratch / name; }

    static std::string bytes(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    static void write(const std::string &file, const std::string &content)
    {
        std::ofstream(file, std::ios::binary) << content;
    }

    // Loads a file and returns the twelve stored values as the panel shows them after OK.
    const toolkit::PanelView &load(const std::string &content)
    {
        write(path("in.zts"), content);
        modeler.queueFileAnswer(path("in.zts"));
        EXPECT_EQ(run({press("Load"), ok()}), 0);
        return closing;
    }

    ScratchDirectory scratch{"presets"};
    const fs::path &directory = scratch.path();
};

const char kInitialPreset[] = "ZELTUFTSPROUT\r\n100\r\n5\r\n0.4\r\n1\r\n0\r\n0\r\n15.5\r\n10.5\r\n75.5\r\n25.5\r\n"
                              "75.5\r\n75.5";

TEST_F(Preset, SavingTheInitialOptionsWritesTheThirteenLines)
{
    modeler.queueFileAnswer(path("grass"));
    ASSERT_EQ(run({press("Save"), cancel()}), 0);
    EXPECT_EQ(bytes(path("grass.zts")), kInitialPreset);
    bool dialogStartedInContent = false;
    for (const std::string &event : modeler.events())
        dialogStartedInContent |= event.find("type 2 Save ZEL_Tuftsprout File | ZTS | " + directory.string() +
                                             " | *.zts") != std::string::npos;
    EXPECT_TRUE(dialogStartedInContent);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Preset, NamesGetTheExtensionOnlyWhenItIsMissing)
{
    for (const char *name : {"grass.zts", "my.zts.old", "GRASS.ZTS"})
        modeler.queueFileAnswer(path(name));
    ASSERT_EQ(run({press("Save"), press("Save"), press("Save"), cancel()}), 0);
    // Listed rather than looked up: on Windows GRASS.ZTS and grass.zts are one file.
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"grass.zts", "my.zts.old", "GRASS.ZTS.zts"}));
}

TEST_F(Preset, CancelledDialogsChangeNothingAndShowNothing)
{
    modeler.queueFileAnswer(std::nullopt);
    modeler.queueFileAnswer(std::nullopt);
    ASSERT_EQ(run({set("Number", "7"), press("Save"), press("Load"), ok()}), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(closing.find("Number")->integer, 7);
    EXPECT_TRUE(fs::is_empty(directory));
}

TEST_F(Preset, AnUnwritableNameWarns)
{
    modeler.queueFileAnswer(path("missing-folder/grass"));
    ASSERT_EQ(run({press("Save"), cancel()}), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"warning | Can't Open File."}));
}

TEST_F(Preset, SavingReplacesTheFileALinkNamesAndKeepsItsPermissions)
{
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need a privilege on Windows";
#endif
    write(path("kept.zts"), "old");
    fs::permissions(path("kept.zts"), fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink("kept.zts", path("link.zts"));
    modeler.queueFileAnswer(path("link.zts"));
    ASSERT_EQ(run({press("Save"), cancel()}), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(fs::is_symlink(path("link.zts")));
    EXPECT_EQ(bytes(path("kept.zts")), kInitialPreset);
    EXPECT_EQ(fs::status(path("kept.zts")).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(std::distance(fs::directory_iterator(directory), fs::directory_iterator()), 2); // nothing left over
}

TEST_F(Preset, AFolderIsNeverReplaced)
{
    fs::create_directory(path("folder.zts"));
    modeler.queueFileAnswer(path("folder.zts"));
    ASSERT_EQ(run({press("Save"), cancel()}), 0);
    EXPECT_EQ(messages, (std::vector<std::string>{"warning | Can't Open File."}));
    EXPECT_TRUE(fs::is_directory(path("folder.zts")));
}

TEST_F(Preset, AWrongFirstLineWarnsAndChangesNothing)
{
    const toolkit::PanelView &panel = load("ZELTUFTSPRXUT\r\n5\r\n2");
    EXPECT_EQ(messages, (std::vector<std::string>{"warning | Can't Open File."}));
    EXPECT_EQ(panel.find("Number")->integer, 100);
    EXPECT_EQ(panel.find("Division")->integer, 5);
}

TEST_F(Preset, ThirteenCharactersMatchingTwelveStillLoad)
{
    const toolkit::PanelView &panel = load("ZELTUFTSPROUX\r\n250\r\n3\r\n0.8");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(panel.find("Number")->integer, 250);
    EXPECT_EQ(panel.find("Division")->integer, 3);
    EXPECT_EQ(panel.find("Size")->number, 0.8);
    EXPECT_EQ(panel.find("Field")->number, 1.0); // the file did not reach it
}

TEST_F(Preset, ALongFirstLineShiftsTheValues)
{
    const toolkit::PanelView &panel = load("ZELTUFTSPROUT-9\r\n4\r\n1e-005");
    EXPECT_EQ(panel.find("Number")->integer, 9);
    EXPECT_EQ(panel.find("Division")->integer, 4);
    EXPECT_EQ(panel.find("Size")->number, 1e-5);
}

TEST_F(Preset, ExponentFormsLoadAsTheSameDouble)
{
    const double threeDigits = load("ZELTUFTSPROUT\r\n1\r\n1\r\n1e-005").find("Size")->number;
    const double twoDigits = load("ZELTUFTSPROUT\r\n1\r\n1\r\n1e-05").find("Size")->number;
    EXPECT_EQ(threeDigits, twoDigits);
}

TEST_F(Preset, DivisionOutsideOneToEightIsClamped)
{
    EXPECT_EQ(load("ZELTUFTSPROUT\r\n1\r\n40").find("Division")->integer, 8);
    EXPECT_EQ(load("ZELTUFTSPROUT\r\n1\r\n-3").find("Division")->integer, 1);
    // The stored Division follows, so the next use opens with it.
    ASSERT_EQ(run({cancel()}), 0);
    EXPECT_EQ(opened.find("Division")->integer, 1);
}

TEST_F(Preset, ASavedPresetLoadsBackWithTheSameCurve)
{
    modeler.queueFileAnswer(path("shape"));
    ASSERT_EQ(run({set("Number", "321"), set("Division", "7"), set("Roughness(random)", "12.5"), set("P1(x)", "33"),
                   set("#13", "60"), set("P3(y)", "90"), press("Save"), ok()}),
              0);
    const toolkit::PanelView saved = closing;
    const host::LayerMesh bladeBefore = layer(1);
    object.layer(1)->mesh.clear();
    // Another shape, then the preset back: the same blade comes out.
    modeler.queueFileAnswer(path("shape.zts"));
    ASSERT_EQ(run({set("P1(x)", "5"), set("#13", "5"), set("Division", "2"), set("Number", "321"),
                   set("Roughness(random)", "12.5"), press("Load"), ok()}),
              0);
    for (int i : {3, 4, 5, 6, 7, 11, 12, 13, 14, 15, 16}) {
        EXPECT_EQ(closing.controls[i].integer, saved.controls[i].integer) << i;
        EXPECT_EQ(closing.controls[i].number, saved.controls[i].number) << i;
    }
    ASSERT_EQ(layer(1).pointCount(), bladeBefore.pointCount());
    for (std::size_t p = 0; p < bladeBefore.pointCount(); ++p)
        EXPECT_NEAR(layer(1).position(p).y, bladeBefore.position(p).y, 1e-12) << p;
}

TEST_F(Preset, LoadingEchoesEveryValueLineToStandardOutput)
{
    ::testing::internal::CaptureStdout();
    load("ZELTUFTSPROUT\r\n12\r\n3");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "12\n3");
}

} // namespace
} // namespace tuft::testing
