#include "toolkit/control_model.h"

#include <cstring>

#include <gtest/gtest.h>

namespace tuft::toolkit {
namespace {

ControlModel slider(const char *kind, int minimum, int maximum)
{
    MhControlDescriptor d{};
    d.type = 15;
    d.d.ints = {10, minimum, maximum};
    Kind k;
    EXPECT_TRUE(kindFromName(kind, k));
    return ControlModel(k, kind, &d, "S");
}

TEST(ControlModel, ValuesConvertToTheTypeAsked)
{
    ControlModel number = slider("PercentControl", 0, 100);
    MhValue v{};
    v.type = MH_VAL_INT;
    v.v.integer = 42;
    number.set(v);
    EXPECT_EQ(number.number, 42.0);
    MhValue text{};
    char buffer[4];
    text.type = MH_VAL_TEXT;
    text.v.text = {buffer, sizeof buffer};
    number.number = 12.5;
    number.get(text);
    EXPECT_STREQ(buffer, "12."); // never more than the buffer
}

TEST(ControlModel, EditFieldsKeepTheirCapacity)
{
    MhControlDescriptor d{};
    d.type = 1;
    d.d.ints.a = 8;
    ControlModel edit(Kind::kEdit, "EditControl", &d, "E");
    char longText[] = "abcdefghijkl";
    MhValue v{};
    v.type = MH_VAL_TEXT;
    v.v.text = {longText, 32};
    edit.set(v);
    EXPECT_EQ(edit.text, "abcdefg");
    std::string reason;
    EXPECT_FALSE(edit.setFromUser("123456789", reason));
    EXPECT_TRUE(edit.setFromUser("1234567", reason));
}

TEST(ControlModel, UserEntriesReadAsThePanelShowsThem)
{
    ControlModel angle = slider("AngleControl", 0, 360);
    std::string reason;
    ASSERT_TRUE(angle.setFromUser("90", reason));
    EXPECT_DOUBLE_EQ(angle.number, 3.141592653589793 / 2);
    ASSERT_TRUE(angle.setFromUser("720", reason)); // a slider stops at its end
    EXPECT_DOUBLE_EQ(angle.number, 2 * 3.141592653589793);
    EXPECT_FALSE(angle.setFromUser("ninety", reason));

    ControlModel division = slider("MiniSliderControl", 1, 8);
    ASSERT_TRUE(division.setFromUser("12", reason));
    EXPECT_EQ(division.integer, 8);
    EXPECT_FALSE(division.setFromUser("2.5", reason));

    const char *items[] = {" Ground", " Point ", "Polygon", nullptr};
    MhControlDescriptor choiceDescriptor{};
    choiceDescriptor.type = 9;
    choiceDescriptor.d.choice.items = items;
    ControlModel choice(Kind::kChoice, "ChoiceControl", &choiceDescriptor, "Mode");
    ASSERT_TRUE(choice.setFromUser("point", reason));
    EXPECT_EQ(choice.integer, 1);
    ASSERT_TRUE(choice.setFromUser("2", reason));
    EXPECT_EQ(choice.integer, 2);
    EXPECT_FALSE(choice.setFromUser("3", reason));

    ControlModel flag(Kind::kBool, "BoolControl", nullptr, "B");
    ASSERT_TRUE(flag.setFromUser("on", reason));
    EXPECT_EQ(flag.integer, 1);
    EXPECT_FALSE(flag.setFromUser("maybe", reason));
}

} // namespace
} // namespace tuft::toolkit
