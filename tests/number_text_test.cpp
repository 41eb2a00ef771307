#include "meshio/number_text.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using tuft::meshio::kNumberTextMax;
using tuft::meshio::writeNumber;

template <typename Number> std::string fast(Number value)
{
    char text[kNumberTextMax];
    return std::string(text, writeNumber(text, value));
}

template <typename Number> std::string reference(Number value)
{
    char text[64];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

template <typename Float, typename Bits> Float fromBits(Bits bits)
{
    Float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Powers of ten and their neighbours, where fixed and scientific trade places.
template <typename Float> std::vector<Float> edges()
{
    std::vector<Float> values = {0,
                                 -Float(0),
                                 1,
                                 -1,
                                 0.1f,
                                 0.5,
                                 1e-5f,
                                 1e-4f,
                                 123456,
                                 1e15f,
                                 1e16f,
                                 1e17f,
                                 std::numeric_limits<Float>::min(),
                                 std::numeric_limits<Float>::max(),
                                 std::numeric_limits<Float>::denorm_min(),
                                 std::numeric_limits<Float>::lowest(),
                                 std::numeric_limits<Float>::infinity(),
                                 -std::numeric_limits<Float>::infinity(),
                                 std::numeric_limits<Float>::quiet_NaN()};
    for (int power = std::numeric_limits<Float>::min_exponent10; power <= std::numeric_limits<Float>::max_exponent10;
         ++power) {
        const Float ten = static_cast<Float>(std::pow(10.0L, power));
        for (Float value :
             {ten, std::nextafter(ten, Float(0)), std::nextafter(ten, Float(INFINITY)), 3 * ten, -7 * ten})
            values.push_back(value);
    }
    return values;
}

TEST(NumberText, DoublesAsToCharsWritesThem)
{
    for (double value : edges<double>())
        ASSERT_EQ(fast(value), reference(value)) << "bits of " << reference(value);
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> coordinate(-50, 50);
    for (int i = 0; i < 2000000; ++i) {
        const double any = fromBits<double>(random());
        ASSERT_EQ(fast(any), reference(any));
        const double near = coordinate(random);
        ASSERT_EQ(fast(near), reference(near));
        const double whole = static_cast<double>(static_cast<std::int64_t>(random() >> (random() % 64)));
        ASSERT_EQ(fast(whole), reference(whole));
    }
}

TEST(NumberText, FloatsAsToCharsWritesThem)
{
    for (float value : edges<float>())
        ASSERT_EQ(fast(value), reference(value));
    std::mt19937 random(20261208);
    for (int i = 0; i < 4000000; ++i) {
        const float any = fromBits<float>(static_cast<std::uint32_t>(random()));
        ASSERT_EQ(fast(any), reference(any));
    }
    for (float value = 0; value <= 1; value += 1.0f / 1024) // UVs
        ASSERT_EQ(fast(value), reference(value));
}

TEST(NumberText, WholeNumbersAsToCharsWritesThem)
{
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> values = {0,   9,    10,   99,    100,
                                         999, 1000, 9999, 10000, std::numeric_limits<std::uint64_t>::max()};
    for (int i = 0; i < 100000; ++i)
        values.push_back(random() >> (random() % 64));
    for (std::uint64_t value : values)
        ASSERT_EQ(fast(value), reference(value));
}

TEST(NumberText, RememberedTextIsTheSameText)
{
    // Repeats first (the memo looks), then fresh values (it stops looking), then
    // repeats again, with the values it never remembers mixed in.
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> coordinate(-5, 5);
    std::vector<double> values;
    for (int i = 0; i < 20000; ++i)
        values.push_back(i % 11 * 0.0125 - 0.06);
    for (int i = 0; i < 20000; ++i)
        values.push_back(coordinate(random));
    for (int i = 0; i < 20000; ++i)
        values.push_back(i % 3 == 0 ? coordinate(random) : 0.5 * (i % 5));
    for (double odd : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity(), -0.0, 0.0})
        values.insert(values.begin() + 100, odd);
    tuft::meshio::NumberMemo<double> memo;
    for (double value : values) {
        char text[kNumberTextMax];
        ASSERT_EQ(std::string(text, memo.write(text, value)), reference(value));
    }
    tuft::meshio::NumberMemo<float> floats;
    for (int i = 0; i < 10000; ++i) {
        const float value = static_cast<float>(i % 7) / 3;
        char text[kNumberTextMax];
        ASSERT_EQ(std::string(text, floats.write(text, value)), reference(value));
    }
}

} // namespace
