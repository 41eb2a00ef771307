#include "plugin/grow/arctangent.h"

#include <cmath>

namespace tuft {

namespace {

constexpr double kPi = 3.14159265358979311600e+00, kPiRest = 1.22464679914735317720e-16;
constexpr double kHalfPi = 1.57079632679489655800e+00;
constexpr double kQuarterPi = 7.85398163397448278999e-01;

// atan(1/2), atan(1), atan(3/2), atan(infinity), each as a double and what it leaves out.
constexpr double kAtanHigh[] = {4.63647609000806093515e-01, 7.85398163397448278999e-01, 9.82793723247329054082e-01,
                                1.57079632679489655800e+00};
constexpr double kAtanLow[] = {2.26987774529616870924e-17, 3.06161699786838301793e-17, 1.39033110312309984516e-17,
                               6.12323399573676603587e-17};
// atan(t) = t - t^3 * (a0 + a1 t^2 + ... + a10 t^20) on [-7/16, 7/16].
constexpr double kAtan[] = {3.33333333333329318027e-01,  -1.99999999998764832476e-01, 1.42857142725034663711e-01,
                            -1.11111104054623557880e-01, 9.09088713343650656196e-02,  -7.69187620504482999495e-02,
                            6.66107313738753120669e-02,  -5.83357013379057348645e-02, 4.97687799461593236017e-02,
                            -3.65315727442169155270e-02, 1.62858201153657823623e-02};
constexpr double kBeyondAll = 7.3786976294838206464e+19; // 2^66: atan is pi/2 to the last bit

// The polynomial part of atan(t) for |t| <= 7/16: t * (s_odd + s_even).
double atanSeries(double t)
{
    const double z = t * t;
    const double w = z * z;
    const double odd =
        z * (kAtan[0] + w * (kAtan[2] + w * (kAtan[4] + w * (kAtan[6] + w * (kAtan[8] + w * kAtan[10])))));
    const double even = w * (kAtan[1] + w * (kAtan[3] + w * (kAtan[5] + w * (kAtan[7] + w * kAtan[9]))));
    return t * (odd + even);
}

// atan(t) for t >= 0 (infinity included): moved next to 0, 1/2, 1, 3/2 or infinity,
// where the series is short.
double atanOfPositive(double t)
{
    if (t >= kBeyondAll)
        return kAtanHigh[3];
    int near;
    if (t < 0.4375)
        return t - atanSeries(t);
    if (t < 0.6875) {
        near = 0;
        t = (2.0 * t - 1.0) / (2.0 + t);
    } else if (t < 1.1875) {
        near = 1;
        t = (t - 1.0) / (t + 1.0);
    } else if (t < 2.4375) {
        near = 2;
        t = (t - 1.5) / (1.0 + 1.5 * t);
    } else {
        near = 3;
        t = -1.0 / t;
    }
    return kAtanHigh[near] - ((atanSeries(t) - kAtanLow[near]) - t);
}

} // namespace

double portableAtan2(double y, double x)
{
    if (std::isnan(x) || std::isnan(y))
        return x + y;
    const bool left = std::signbit(x);
    if (y == 0)
        return left ? std::copysign(kPi, y) : y;
    if (x == 0)
        return std::copysign(kHalfPi, y);
    if (std::isinf(x)) {
        if (std::isinf(y))
            return std::copysign(left ? 3 * kQuarterPi : kQuarterPi, y);
        return left ? std::copysign(kPi, y) : std::copysign(0.0, y);
    }
    if (std::isinf(y))
        return std::copysign(kHalfPi, y);
    const double z = atanOfPositive(std::fabs(y / x));
    return std::copysign(left ? kPi - (z - kPiRest) : z, y);
}

} // namespace tuft
