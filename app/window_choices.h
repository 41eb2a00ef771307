// What the window offers to plant on and how it opens, decided without a display: the
// first target when the command line chose none, the targets a person can pick below the
// viewport, and where the plug-in's panel goes beside the main window.
#pragma once

#include "app/plant_job.h"
#include "host/object.h"

#include <string>
#include <vector>

namespace tuft::app {

// Something to plant on: a selection (as --select takes it) and the panel's mode for it,
// or points scattered over every polygon by density.
struct PlantingTarget {
    std::string label; // as the window lists it
    std::string selection;
    std::string mode; // "ground", "point" or "polygon"
    bool scatter = false;
};

// Whether the window picks what to plant on: there is an input, and the command line
// chose neither a mode (--mode, --set Mode=, a preset loaded), a selection nor a scatter.
bool windowPicksTarget(const PlantJob &job);

// The targets of the layer: the field (Ground), every polygon and every point when there
// are any, the polygons of each surface the layer's polygons use, and a scatter by
// density when there are polygons to scatter over.
std::vector<PlantingTarget> plantingTargets(const host::Object &object, int layer);
// The target the window picks: every polygon, or every point when there is no polygon,
// or else the field.
std::size_t firstTarget(const std::vector<PlantingTarget> &targets);
// The target that is the selection the command line made (--select), for the window to
// show; -1 when none is.
int targetSelected(const std::vector<PlantingTarget> &targets, const std::string &selection);

struct ScreenRect {
    int x, y, w, h;
};
struct SideBySide {
    ScreenRect window; // the main window, moved left or made narrower when it must be
    int panelX, panelY;
};
// The main window and a panel of that size side by side in the screen's work area: the
// panel to the window's right, their tops level. When both do not fit, the window moves
// left, then narrows (never below `narrowest`); the panel stays on the screen.
SideBySide placeBeside(ScreenRect screen, ScreenRect window, int panelW, int panelH, int narrowest);

} // namespace tuft::app
