// Sine, cosine and atan2 of our own: as exact as the C library's, and the same bits on
// every platform (the whole grid below hashes to one number, on Linux and under Wine).
#include "host/trigonometry.h"
#include "plugin/grow/arctangent.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

namespace tuft {
namespace {

std::uint64_t bitsOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// Units in the last place between two doubles of the same sign (or zeros).
std::int64_t ulpsBetween(double a, double b)
{
    if (a == b)
        return 0;
    if (std::signbit(a) != std::signbit(b))
        return std::numeric_limits<std::int64_t>::max();
    const auto ordered = [](double x) { return static_cast<std::int64_t>(bitsOf(std::fabs(x))); };
    return std::llabs(ordered(a) - ordered(b));
}

// Angles as the host turns by them: whole and odd degrees, and radians through and
// beyond a few turns, near multiples of pi/2 included.
std::vector<double> angles()
{
    std::vector<double> radians;
    for (int tenth = -7200; tenth <= 7200; ++tenth)
        radians.push_back(tenth * 0.1 * (3.141592653589793 / 180.0));
    for (int i = -100000; i <= 100000; ++i)
        radians.push_back(i * 1.2566370614359172e-4 + 1e-9 * (i % 7));
    for (int k = -64; k <= 64; ++k)
        for (double nudge : {-1e-12, 0.0, 1e-12})
            radians.push_back(k * 1.5707963267948966 + nudge);
    return radians;
}

// Directions all round, the axes and the diagonals among them.
std::vector<std::pair<double, double>> directions()
{
    std::vector<std::pair<double, double>> pairs;
    for (int i = -300; i <= 300; ++i)
        for (int j = -120; j <= 120; ++j)
            pairs.push_back({i * 0.0137 + j * 1e-7, j * 0.0311 - i * 1e-6});
    for (double y : {-2.0, -1.0, -1e-300, 1e-300, 1.0, 2.0, 1e300})
        for (double x : {-2.0, -1.0, -1e-300, 1e-300, 1.0, 2.0, 1e300})
            pairs.push_back({y, x});
    return pairs;
}

TEST(PortableMath, WithinOneUnitInTheLastPlaceOfTheCLibrary)
{
#ifdef _WIN32
    GTEST_SKIP() << "mingw-w64's x87 sine loses bits near multiples of pi: glibc is the reference";
#endif
    std::size_t exact = 0, total = 0;
    std::int64_t worst = 0;
    const auto count = [&](double ours, double theirs) {
        const std::int64_t ulps = ulpsBetween(ours, theirs);
        worst = std::max(worst, ulps);
        exact += ulps == 0;
        ++total;
    };
    for (double x : angles()) {
        count(host::portableSin(x), std::sin(x));
        count(host::portableCos(x), std::cos(x));
    }
    for (const auto &[y, x] : directions())
        count(portableAtan2(y, x), std::atan2(y, x));
    EXPECT_LE(worst, 1);
    EXPECT_GT(exact, total * 90 / 100) << exact << " of " << total;
}

TEST(PortableMath, SpecialValuesAsTheCLibraryGivesThem)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(bitsOf(host::portableSin(-0.0)), bitsOf(-0.0));
    EXPECT_EQ(host::portableCos(0.0), 1.0);
    for (double bad : {inf, -inf, nan}) {
        EXPECT_TRUE(std::isnan(host::portableSin(bad)));
        EXPECT_TRUE(std::isnan(host::portableCos(bad)));
    }
    // Far beyond any turn: still a sine, the same everywhere.
    for (double huge : {1e7, -3e15, 1e300})
        EXPECT_LE(std::fabs(host::portableSin(huge)), 1.0);
    for (double y : {0.0, -0.0, 1.0, -1.0, inf, -inf})
        for (double x : {0.0, -0.0, 1.0, -1.0, inf, -inf})
            EXPECT_EQ(bitsOf(portableAtan2(y, x)), bitsOf(std::atan2(y, x))) << "atan2(" << y << ", " << x << ")";
    EXPECT_TRUE(std::isnan(portableAtan2(nan, 1.0)));
    EXPECT_TRUE(std::isnan(portableAtan2(1.0, nan)));
}

// FNV-1a over every result's bits: recorded once; a platform that differs in one bit
// of one result gives another number.
TEST(PortableMath, TheSameBitsOnEveryPlatform)
{
    std::uint64_t hash = 1469598103934665603ULL;
    const auto mix = [&hash](double value) {
        const std::uint64_t bits = bitsOf(value);
        for (int shift = 0; shift < 64; shift += 8) {
            hash ^= (bits >> shift) & 0xff;
            hash *= 1099511628211ULL;
        }
    };
    for (double x : angles()) {
        mix(host::portableSin(x));
        mix(host::portableCos(x));
    }
    for (const auto &[y, x] : directions())
        mix(portableAtan2(y, x));
    EXPECT_EQ(hash, 13428492532658883024ULL);
}

} // namespace
} // namespace tuft
