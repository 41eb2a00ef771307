#include "host/trigonometry.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tuft::host {

namespace {

// pi/2 in three parts of 33 bits (each product with a quadrant count below 2^20 is
// exact), each with the rest of pi/2 after it; and 2/pi.
constexpr double kTwoOverPi = 6.36619772367581382433e-01;
constexpr double kHalfPi1 = 1.57079632673412561417e+00, kHalfPi1Rest = 6.07710050650619224932e-11;
constexpr double kHalfPi2 = 6.07710050630396597660e-11, kHalfPi2Rest = 2.02226624879595063154e-21;
constexpr double kHalfPi3 = 2.02226624871116645580e-21, kHalfPi3Rest = 8.47842766036889956997e-32;
constexpr double kQuarterPi = 7.85398163397448278999e-01;
constexpr double kTwoPi = 6.28318530717958623200e+00;
constexpr double kReducedExactlyBelow = 1647099.0;     // about 2^20 * pi/2
constexpr double kRoundToInteger = 6755399441055744.0; // 1.5 * 2^52

// sin(x) - x on [-pi/4, pi/4] as a polynomial in x^2, and 1 - cos(x).
constexpr double kSin[] = {-1.66666666666666324348e-01, 8.33333333332248946124e-03,  -1.98412698298579493134e-04,
                           2.75573137070700676789e-06,  -2.50507602534068634195e-08, 1.58969099521155010221e-10};
constexpr double kCos[] = {4.16666666666666019037e-02,  -1.38888888888741095749e-03, 2.48015872894767294178e-05,
                           -2.75573143513906633035e-07, 2.08757232129817482790e-09,  -1.13596475577881948265e-11};

int exponentOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return static_cast<int>((bits >> 52) & 0x7ff);
}

// x = quadrant * pi/2 + (high + low), with |high + low| <= about pi/4.
struct Reduced {
    int quadrant;
    double high, low;
};

Reduced reduce(double x)
{
    if (std::fabs(x) <= kQuarterPi)
        return {0, x, 0};
    // Beyond a million radians no angle means anything; an exact remainder keeps it
    // the same everywhere.
    if (std::fabs(x) >= kReducedExactlyBelow)
        x = std::fmod(x, kTwoPi);
    const double count = (x * kTwoOverPi + kRoundToInteger) - kRoundToInteger;
    const int exponent = exponentOf(x);
    double rest = x - count * kHalfPi1;
    double taken = count * kHalfPi1Rest;
    double high = rest - taken;
    // Near a multiple of pi/2 the leading bits cancel: take the next parts of pi/2, as
    // many as the bits lost call for.
    struct Part {
        double part, rest;
        int bitsLost;
    };
    constexpr Part kNextParts[] = {{kHalfPi2, kHalfPi2Rest, 16}, {kHalfPi3, kHalfPi3Rest, 49}};
    for (const Part &next : kNextParts) {
        if (exponent - exponentOf(high) <= next.bitsLost)
            break;
        const double before = rest;
        taken = count * next.part;
        rest = before - taken;
        taken = count * next.rest - ((before - rest) - taken);
        high = rest - taken;
    }
    const double low = (rest - high) - taken;
    return {static_cast<int>(static_cast<long long>(count) & 3), high, low};
}

double sinNear(double x, double low)
{
    const double z = x * x;
    const double v = z * x;
    const double r = kSin[1] + z * (kSin[2] + z * (kSin[3] + z * (kSin[4] + z * kSin[5])));
    return x - ((z * (0.5 * low - v * r) - low) - v * kSin[0]);
}

double cosNear(double x, double low)
{
    const double z = x * x;
    const double r = z * (kCos[0] + z * (kCos[1] + z * (kCos[2] + z * (kCos[3] + z * (kCos[4] + z * kCos[5])))));
    const double half = 0.5 * z;
    const double w = 1.0 - half;
    return w + (((1.0 - w) - half) + (z * r - x * low));
}

// sin(x) for x = quadrant * pi/2 + (high + low); cos is a quadrant further on.
double sinInQuadrant(const Reduced &r, int quadrant)
{
    switch (quadrant & 3) {
    case 0:
        return sinNear(r.high, r.low);
    case 1:
        return cosNear(r.high, r.low);
    case 2:
        return -sinNear(r.high, r.low);
    default:
        return -cosNear(r.high, r.low);
    }
}

} // namespace

double portableSin(double radians)
{
    if (!std::isfinite(radians))
        return radians - radians;
    const Reduced r = reduce(radians);
    return sinInQuadrant(r, r.quadrant);
}

double portableCos(double radians)
{
    if (!std::isfinite(radians))
        return radians - radians;
    const Reduced r = reduce(radians);
    return sinInQuadrant(r, r.quadrant + 1);
}

} // namespace tuft::host
