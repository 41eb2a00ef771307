// The blade's profile: a quadratic Bezier curve from the tip (t = 0, P3) to the base
// (t = 1, P1), and the mappings between its free coordinates and the six sliders.
#pragma once

namespace tuft {

// P1.x, P1.y, P1.z, P2.x, ... P3.z. P1.y, P1.z and P3.x never change.
enum CurveCoordinate { kX1, kY1, kZ1, kX2, kY2, kZ2, kX3, kY3, kZ3, kCurveCoordinates };

struct Point3 {
    double x, y, z;
};

// The control points as the library starts with them.
constexpr double kInitialCurve[kCurveCoordinates] = {0.15, -1.0, -1.0, 0.1, 0.5, -0.5, 0.0, 0.5, 0.5};

// The six slider-owned coordinates, in panel order.
constexpr int kSliderCount = 6;
extern const CurveCoordinate kSliderCoordinate[kSliderCount];

// Slider value (0..100) to coordinate and back; x coordinates map to about 0..1,
// y and z to about -1..1. Neither clamps.
double sliderToCoordinate(int slider, double value);
double coordinateToSlider(int slider, double coordinate);

// The curve at t, evaluated per coordinate in a fixed order of operations so that the
// preview and the blade agree to the last bit.
Point3 evaluateCurve(const double (&curve)[kCurveCoordinates], double t);

// Divisions the tables are sized for.
constexpr int kMinDivision = 1;
constexpr int kMaxDivision = 8;
int clampDivision(int division);

} // namespace tuft
