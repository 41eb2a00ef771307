// The three planting modes. Each seeds the random source, plants blade after blade
// through the blade transfer, then empties the template layer.
#pragma once

#include "plugin/grow/draws.h"
#include "plugin/grow/plugin.h"

namespace tuft {

struct GroundOptions {
    int number;
    double field;
};

void plantGround(Run &run, const GroundOptions &ground, const RunValues &values);
void plantPoints(Run &run, const PointTargets &targets, bool byWeight, const RunValues &values);
void plantPolygons(Run &run, const PolygonTargets &targets, const RunValues &values);

} // namespace tuft
