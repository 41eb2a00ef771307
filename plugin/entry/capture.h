// Selection capture: copies the user's selected points or polygons into plain arrays.
#pragma once

#include "modeler_host.h"

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

extern PointTargets g_pointTargets;
extern PolygonTargets g_polygonTargets;

// The mesh edit that is open, or null; shared by the capture, the template builder and
// polygon planting.
extern MhMeshEdit *g_meshEdit;

// Opens a mesh edit into g_meshEdit; true when the host gave one.
bool beginEdit();
// Closes g_meshEdit, keeping its edits, when one is open.
void endEdit();

// Fills g_pointTargets or g_polygonTargets from the host's selection, according to the
// host's selection mode; leaves both empty when nothing of that kind is selected.
void captureTargets();
// Releases every target array of this run.
void freeTargets();

// A weight as captured: the map value rounded to six decimals through "%f".
float capturedWeight(float mapValue);

} // namespace tuft
