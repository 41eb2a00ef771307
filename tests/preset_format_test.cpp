#include "plugin/panel/preset_format.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

const PresetValues kInitial = {100, 5, {0.4, 1, 0, 0, 15.5, 10.5, 75.5, 25.5, 75.5, 75.5}};

std::vector<std::string> reads(const std::string &data)
{
    std::vector<std::string> result;
    std::size_t position = 0;
    char read[kPresetReadLength + 1];
    while (nextPresetRead(data.data(), data.size(), position, read))
        result.emplace_back(read);
    return result;
}

PresetValues load(const std::string &data, PresetValues values = kInitial)
{
    const std::vector<std::string> all = reads(data);
    for (std::size_t i = 1; i < all.size(); ++i)
        applyPresetRead(static_cast<int>(i), all[i].c_str(), values);
    return values;
}

TEST(PresetFormat, InitialOptionsWriteTheThirteenLines)
{
    char out[512];
    const std::size_t size = formatPreset(kInitial, out);
    EXPECT_EQ(std::string(out, size), "ZELTUFTSPROUT\r\n100\r\n5\r\n0.4\r\n1\r\n0\r\n0\r\n15.5\r\n10.5\r\n"
                                      "75.5\r\n25.5\r\n75.5\r\n75.5");
}

TEST(PresetFormat, DoublesUseGWithThreeExponentDigits)
{
    char out[32];
    const std::pair<double, const char *> cases[] = {
        {0.00001, "1e-005"},    {1e100, "1e+100"},       {123456789.0, "1.23457e+008"},
        {-2.5e-7, "-2.5e-007"}, {0.1234567, "0.123457"}, {1e-300, "1e-300"},
    };
    for (const auto &[value, text] : cases) {
        formatPresetDouble(value, out);
        EXPECT_STREQ(out, text);
    }
}

TEST(PresetFormat, ReadsStopAtLineEndsAndFourteenCharacters)
{
    EXPECT_EQ(reads("AB\r\nCD\nEF"), (std::vector<std::string>{"AB\n", "CD\n", "EF"}));
    EXPECT_EQ(reads("ZELTUFTSPROUTXY\r\n1"), (std::vector<std::string>{"ZELTUFTSPROUTX", "Y\n", "1"}));
    // A carriage return alone is an ordinary character.
    EXPECT_EQ(reads("A\rB\n"), (std::vector<std::string>{"A\rB\n"}));
    EXPECT_TRUE(reads("").empty());
}

TEST(PresetFormat, HeaderComparesTwelveCharacters)
{
    EXPECT_TRUE(isPresetHeader("ZELTUFTSPROUT\n"));
    EXPECT_TRUE(isPresetHeader("ZELTUFTSPROUX\n"));
    EXPECT_FALSE(isPresetHeader("ZELTUFTSPRO\n"));
    EXPECT_FALSE(isPresetHeader("zeltuftsprout\n"));
}

TEST(PresetFormat, SavedValuesLoadBack)
{
    const PresetValues values = {2500, 3, {0.25, 12.5, 30, 1.5707963, 0, 100, 50.5, 1e-5, 99.9, 0.001}};
    char out[512];
    const std::size_t size = formatPreset(values, out);
    const PresetValues back = load(std::string(out, size));
    EXPECT_EQ(back.number, 2500);
    EXPECT_EQ(back.division, 3);
    for (int i = 0; i < kPresetDoubles; ++i)
        EXPECT_NEAR(back.doubles[i], values.doubles[i], std::abs(values.doubles[i]) * 1e-5) << i;
}

TEST(PresetFormat, EveryTruncatedFileChangesOnlyWhatItHolds)
{
    const PresetValues saved = {7, 3, {0.25, 2, 10, 1.5, 20, 30, 40, 50, 60, 70}};
    char bytes[512];
    const std::string whole(bytes, formatPreset(saved, bytes));
    for (std::size_t length = 0; length <= whole.size(); ++length) {
        const std::string prefix = whole.substr(0, length);
        const std::vector<std::string> all = reads(prefix);
        const PresetValues loaded = load(prefix);
        const std::size_t complete = all.empty() ? 0 : all.size() - 1; // the last read may be cut short
        if (complete >= 2) {
            EXPECT_EQ(loaded.number, 7) << length;
        }
        if (complete < 1) {
            EXPECT_EQ(loaded.number, kInitial.number) << length;
        }
        for (std::size_t i = 0; i + 3 < complete && i < kPresetDoubles; ++i)
            EXPECT_EQ(loaded.doubles[i], saved.doubles[i]) << length << " " << i;
        for (std::size_t i = all.size() > 3 ? all.size() - 3 : 0; i < kPresetDoubles; ++i)
            EXPECT_EQ(loaded.doubles[i], kInitial.doubles[i]) << length << " " << i;
    }
}

TEST(PresetFormat, ShortAndShiftedFilesChangeOnlyWhatTheyReach)
{
    const PresetValues shortFile = load("ZELTUFTSPROUT\r\n7\r\n2");
    EXPECT_EQ(shortFile.number, 7);
    EXPECT_EQ(shortFile.division, 2);
    EXPECT_EQ(shortFile.doubles[0], 0.4);
    // A first line of more than 14 characters pushes every value down one read.
    const PresetValues shifted = load("ZELTUFTSPROUT-9\r\n42\r\n3");
    EXPECT_EQ(shifted.number, 9);
    EXPECT_EQ(shifted.division, 42);
    EXPECT_EQ(shifted.doubles[0], 3.0);
}

TEST(PresetFormat, NumbersParseAsCReadsThem)
{
    EXPECT_EQ(parsePresetDouble("1e-005\n"), parsePresetDouble("1e-05"));
    EXPECT_EQ(parsePresetDouble("1e-005"), 0.00001);
    EXPECT_EQ(parsePresetDouble("  +2.5xyz"), 2.5);
    EXPECT_EQ(parsePresetDouble("abc"), 0.0);
    EXPECT_EQ(parsePresetDouble("0x10"), 16.0);
    // Not finite, or two signs: 0, as a number that does not parse.
    for (const char *notANumber : {"-1e999", "4.000e+3000", "nan", "-NAN", "inf", "Infinity", "--0.7", "+-2", "-+1"})
        EXPECT_EQ(parsePresetDouble(notANumber), 0.0) << notANumber;
    EXPECT_EQ(parsePresetDouble("1e-999"), 0.0);
    EXPECT_EQ(parsePresetDouble("-0.7"), -0.7);
    EXPECT_EQ(parsePresetInt(" 12abc"), 12);
    EXPECT_EQ(parsePresetInt("-7"), -7);
    EXPECT_EQ(parsePresetInt("x"), 0);
    EXPECT_EQ(parsePresetInt("99999999999999999999"), 2147483647);
}

} // namespace
} // namespace tuft
