// The profile preview, and the blade's shape that lasts from one use to the next.
#pragma once

#include "plugin/blade/curve.h"

namespace tuft {

constexpr int kSampleRows = kMaxDivision + 1;
constexpr int kUvPairs = 2 * kMaxDivision + 2;

// What the preview's front view leaves behind: the curve's samples and their UV values
// as of the last draw. The blade template is built from these tables, not from the curve,
// so the preview must have drawn with the final curve and Division before the template
// is built (toolkits draw it when the panel opens and after every change).
struct PreviewTables {
    double samples[kSampleRows][3];
    float uvs[kUvPairs][2];
};

// The blade's shape: the curve's control points, the stored Division (the preview draws
// with it and the next panel opens with it; always 1..8) and the preview's tables. All
// of it outlives the panel.
struct BladeShape {
    double curve[kCurveCoordinates];
    int division;
    PreviewTables tables;
};

constexpr int kInitialDivision = 5;

// The shape as the library starts with it (the preview's tables fill at its first draw).
constexpr BladeShape initialBladeShape()
{
    BladeShape shape = {};
    for (int i = 0; i < kCurveCoordinates; ++i)
        shape.curve[i] = kInitialCurve[i];
    shape.division = kInitialDivision;
    return shape;
}

// Stores a Division, clamped to 1..8, so that nothing out of range reaches the tables.
void storeDivision(BladeShape &shape, int division);

// Draws the side and front views of the curve into the current OpenGL context and
// refills the tables.
void drawPreview(BladeShape &shape);

} // namespace tuft
