// Selection capture: copies the user's selected points or polygons into plain arrays.
#pragma once

#include "plugin/entry/host.h"

namespace tuft {

struct PointTargets {
    double (*positions)[3];
    float *weights;
    int count;
};

struct PolygonTargets {
    MhPolygonId *ids;
    double (*centres)[3];
    int count;
};

// What one run captured; at most one kind is filled.
struct Targets {
    PointTargets points;
    PolygonTargets polygons;
};

// Fills the point or polygon targets from the host's selection, according to the host's
// selection mode; leaves both empty when nothing of that kind is selected.
void captureTargets(Host &host, Targets &targets);
// Releases every target array.
void freeTargets(Targets &targets);

// A weight as captured: the map value rounded to six decimals through "%f".
float capturedWeight(float mapValue);

} // namespace tuft
