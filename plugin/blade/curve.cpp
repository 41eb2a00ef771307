#include "plugin/blade/curve.h"

namespace tuft {

const CurveCoordinate kSliderCoordinate[kSliderCount] = {kX1, kX2, kY2, kZ2, kY3, kZ3};

namespace {

bool isWidth(int slider) { return kSliderCoordinate[slider] == kX1 || kSliderCoordinate[slider] == kX2; }

double bezier(double base, double middle, double tip, double t, double u)
{
    return ((((2 * middle) * t) * u) + ((base * t) * t)) + ((tip * u) * u);
}

} // namespace

double sliderToCoordinate(int slider, double v)
{
    if (isWidth(slider))
        return ((v + v) - 1) / 100 * 0.5;
    return ((v + v) - 1) / 100 - 1;
}

double coordinateToSlider(int slider, double p)
{
    if (isWidth(slider))
        return ((p + p) * 100 + 1) * 0.5;
    return ((p + 1) * 100 + 1) * 0.5;
}

Point3 evaluateCurve(const double (&c)[kCurveCoordinates], double t)
{
    const double u = 1 - t;
    return {bezier(c[kX1], c[kX2], c[kX3], t, u), bezier(c[kY1], c[kY2], c[kY3], t, u),
            bezier(c[kZ1], c[kZ2], c[kZ3], t, u)};
}

int clampDivision(int division)
{
    return division < kMinDivision ? kMinDivision : division > kMaxDivision ? kMaxDivision : division;
}

} // namespace tuft
