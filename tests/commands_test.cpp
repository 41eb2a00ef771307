#include "tests/plugin_fixture.h"

#include <cstdio>
#include <cstdlib>

namespace tuft::testing {
namespace {

using Commands = PluginTest;

std::vector<std::string> layerStrings(const host::Modeler &modeler)
{
    std::vector<std::string> layers;
    for (const host::CommandCall &call : modeler.commandCalls())
        if (call.name == "SETLAYER")
            layers.push_back(call.arguments.at(0).text);
    return layers;
}

TEST_F(Commands, RecordsAreDecodedAsTheHostReadsThem)
{
    ASSERT_EQ(run({set("Number", "1"), set("Roughness(random)", "50"), set("Rotation(random)", "90"), ok()}), 0);
    for (const host::CommandCall &call : modeler.commandCalls()) {
        EXPECT_EQ(call.result, 0) << call.name;
        EXPECT_EQ(call.selectionMode, 0);
        if (call.name == "COPY" || call.name == "PASTE" || call.name == "CUT" || call.name == "DELETE") {
            EXPECT_EQ(call.count, 0);
            EXPECT_FALSE(call.recordsGiven) << call.name;
        } else if (call.name == "SETLAYER") {
            ASSERT_EQ(call.count, 1);
            EXPECT_EQ(call.arguments[0].type, MH_ARG_STRING);
        } else if (call.name == "MOVE") {
            ASSERT_EQ(call.count, 1);
            EXPECT_EQ(call.arguments[0].type, MH_ARG_VECTOR);
        } else if (call.name == "ROTATE") {
            ASSERT_EQ(call.count, 3);
            EXPECT_EQ(call.arguments[0].type, MH_ARG_FLOAT);
            EXPECT_EQ(call.arguments[1].type, MH_ARG_STRING);
            EXPECT_EQ(call.arguments[1].text, "Y");
            EXPECT_EQ(call.arguments[2].type, MH_ARG_NULL);
        } else if (call.name == "SCALE") {
            ASSERT_EQ(call.count, 2);
            EXPECT_EQ(call.arguments[0].type, MH_ARG_VECTOR);
            EXPECT_EQ(call.arguments[1].type, MH_ARG_NULL);
        } else {
            ADD_FAILURE() << "unexpected command " << call.name;
        }
    }
}

TEST_F(Commands, LayerOneWithoutBackgroundGivesOne407408AndZero)
{
    ASSERT_EQ(run({set("BGLayer Object", "on"), set("Number", "1"), ok()}), 0);
    const std::vector<std::string> expected = {"0", "408", "408", "407", "1", "408", "1"};
    EXPECT_EQ(layerStrings(modeler), expected);
}

TEST_F(Commands, LayerTwelveWithBackgroundThreeAndFive)
{
    object.currentLayer = 12;
    object.background = {3, 5};
    ASSERT_EQ(run({set("BGLayer Object", "on"), set("Number", "1"), ok()}), 0);
    const std::vector<std::string> expected = {"3", "419", "419", "418", "12", "419", "12"};
    EXPECT_EQ(layerStrings(modeler), expected);
}

TEST_F(Commands, LayerNumbersBeyondSevenDigitsAreRefused)
{
    object.currentLayer = 9999593; // its template layer would need eight digits
    object.layer(9999593);
    ASSERT_EQ(run({ok()}), 0);
    EXPECT_TRUE(modeler.commandCalls().empty());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "warning | Layer number out of range.");
}

TEST_F(Commands, HostRefusesBadRecordsWithoutCrashing)
{
    MhCommandSequence *sequence = modeler.commandSequence();
    const int move = sequence->lookup(sequence->data, "MOVE");
    const int setLayer = sequence->lookup(sequence->data, "SETLAYER");
    EXPECT_EQ(sequence->lookup(sequence->data, "EXPLODE"), 0);
    EXPECT_NE(sequence->execute(sequence->data, 0, 0, nullptr, 0, nullptr), 0);
    EXPECT_NE(sequence->execute(sequence->data, 99, 0, nullptr, 0, nullptr), 0);
    EXPECT_NE(sequence->execute(sequence->data, move, 1, nullptr, 0, nullptr), 0);
    MhArgRecord record{};
    record.type = MH_ARG_FLOAT;
    EXPECT_NE(sequence->execute(sequence->data, move, 1, &record, 0, nullptr), 0);
    record.string.type = MH_ARG_STRING;
    record.string.text = nullptr;
    EXPECT_NE(sequence->execute(sequence->data, setLayer, 1, &record, 0, nullptr), 0);
    record.string.text = "12x";
    EXPECT_NE(sequence->execute(sequence->data, setLayer, 1, &record, 0, nullptr), 0);
    record.string.text = "0";
    EXPECT_NE(sequence->execute(sequence->data, setLayer, 1, &record, 0, nullptr), 0);
    record.string.text = "5";
    EXPECT_EQ(sequence->execute(sequence->data, setLayer, 1, &record, 0, nullptr), 0);
}

TEST_F(Commands, EachLayerTextReachesItsOwnLayer)
{
    // Texts that share digits, repeated in turn, with one too long to be remembered.
    MhCommandSequence *sequence = modeler.commandSequence();
    const int setLayer = sequence->lookup(sequence->data, "SETLAYER");
    MhArgRecord record{};
    record.string.type = MH_ARG_STRING;
    char text[16];
    record.string.text = text; // one buffer, rewritten: the text counts, not where it is
    for (int round = 0; round < 3; ++round)
        for (const char *name : {"1", "10", "100", "01", "2", "3", "4", "5", "000000010"}) {
            std::snprintf(text, sizeof text, "%s", name);
            ASSERT_EQ(sequence->execute(sequence->data, setLayer, 1, &record, 0, nullptr), 0);
            ASSERT_NE(modeler.activeLayer(), nullptr);
            EXPECT_EQ(modeler.activeLayer()->number, std::atoi(name)) << name;
        }
}

} // namespace
} // namespace tuft::testing
