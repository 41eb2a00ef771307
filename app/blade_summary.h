// What a planting made, for the line that reports it: how many blades, how big, and how
// big the object they stand on; and a warning when the two are out of scale, as grass
// sized for metres is on a model in centimetres.
#pragma once

#include "host/layer_mesh.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace tuft::app {

struct BladeSummary {
    std::size_t blades = 0;
    double smallest = 0, largest = 0; // how tall a blade stands (its extent along Y)
    double object = 0;                // the longest side of the object's box; 0 for no object
};

// The blades are the layer's points after the object's first `objectPoints`,
// `bladePoints` to a blade, in planting order: `blades` of them, or all to the end.
BladeSummary summarizeBlades(const host::LayerMesh &layer, std::size_t objectPoints, std::uint64_t bladePoints,
                             std::size_t blades = SIZE_MAX);
// Only how many blades there are, at once.
std::size_t countBlades(const host::LayerMesh &layer, std::size_t objectPoints, std::uint64_t bladePoints,
                        std::size_t blades = SIZE_MAX);
// Runs of blades planted one after another, as one summary.
BladeSummary combined(const BladeSummary &a, const BladeSummary &b);

// "100 blades, 0.31 to 0.6 tall, on an object 10 across"; "no blades" when none.
std::string describeBlades(const BladeSummary &summary);

// Why the blades look out of scale (taller than half the object, or under a thousandth of
// it), with what sizes them for it; empty when they do not, or there is no object.
std::string bladeScaleWarning(const BladeSummary &summary);

} // namespace tuft::app
