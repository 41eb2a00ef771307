#include "tests/plugin_fixture.h"

#include <algorithm>

namespace tuft::testing {
namespace {

std::vector<std::string> lookups(const host::Modeler &modeler)
{
    std::vector<std::string> names;
    for (const std::string &event : modeler.events())
        if (event.rfind("lookup ", 0) == 0)
            names.push_back(event.substr(7));
    return names;
}

const std::vector<std::string> kAllServices = {
    "Product Info",       "LWM: Dynamic Monitor", "LWM: State Query 3", "Surface Functions 3", "LWM: Font List",
    "Host Display Info",  "File Request",         "Info Messages 2",    "Directory Info",      "LWPanelServices",
    "LWM: State Query 3", "File Request 2",       "Scene Objects 5",
};

using Activation = PluginTest;

TEST_F(Activation, OtherVersionsAreRefusedWithoutLookups)
{
    for (int version : {2, 4}) {
        modeler.clearRecords();
        EXPECT_EQ(modeler.activate(*library, version), 1);
        EXPECT_TRUE(lookups(modeler).empty());
    }
    EXPECT_EQ(panels.panelsCreated(), 0);
}

TEST_F(Activation, AllServicesPresentRunsTheCommand)
{
    EXPECT_EQ(run({cancel()}), 0);
    EXPECT_EQ(lookups(modeler), kAllServices);
    EXPECT_EQ(panels.panelsCreated(), 1);
    EXPECT_EQ(panels.panelsDestroyed(), 1);
}

TEST_F(Activation, ProductInfoZeroSkipsTheFirstGroup)
{
    modeler.setProductInfo(0);
    EXPECT_EQ(run({ok()}), 2);
    const std::vector<std::string> expected = {"Product Info", "LWPanelServices", "LWM: State Query 3",
                                               "File Request 2", "Scene Objects 5"};
    EXPECT_EQ(lookups(modeler), expected);
    EXPECT_EQ(panels.panelsCreated(), 0);
}

TEST_F(Activation, AnyOneMissingServiceGivesTwo)
{
    for (const char *missing : {"LWM: Font List", "Scene Objects 5", "LWPanelServices", "Directory Info"}) {
        host::Object other;
        host::Modeler host(other);
        host.setPanelServices(panels.services());
        host.withholdService(missing);
        EXPECT_EQ(host.activate(*library), 2) << missing;
    }
    EXPECT_EQ(panels.panelsCreated(), 0);
}

TEST_F(Activation, CancelLeavesTheObjectAlone)
{
    object.layer(1)->mesh.addPoint({1, 2, 3});
    EXPECT_EQ(run({set("Number", "50"), cancel()}), 0);
    EXPECT_TRUE(modeler.commandCalls().empty());
    EXPECT_EQ(layer(1).pointCount(), 1u);
    EXPECT_EQ(panels.panelsDestroyed(), 1);
}

TEST(ActivationReload, CommandsAreLookedUpOncePerLoad)
{
    toolkit::HeadlessPanels panels;
    const auto countLookups = [&](host::PluginLibrary &library, int runs) {
        host::Object object;
        host::Modeler modeler(object);
        modeler.setPanelServices(panels.services());
        modeler.setProgressDisplay(nullptr);
        for (int i = 0; i < runs; ++i) {
            panels.setScript({set("Number", "2"), ok()});
            EXPECT_EQ(modeler.activate(library), 0);
        }
        return modeler.commandLookups();
    };
    // SETLAYER, COPY, PASTE, SCALE, ROTATE, MOVE and CUT, once each for both runs.
    {
        host::PluginLibrary library(TUFT_PLUGIN_PATH);
        EXPECT_EQ(countLookups(library, 2), 7);
    }
    host::PluginLibrary reloaded(TUFT_PLUGIN_PATH);
    EXPECT_EQ(countLookups(reloaded, 1), 7);
}

} // namespace
} // namespace tuft::testing
