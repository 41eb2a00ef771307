// Blades sized for the model: the panel's "Size" that makes the blade template a chosen
// height, in the file's units or as a share of what is planted on. The template's height
// at Size 1 depends on the profile the user shaped, so it is measured: one blade of the
// user's panel is planted, at Size 1 and without roughness, on an empty field.
#pragma once

#include "app/plant_job.h"
#include "host/object.h"
#include "toolkit/panel_toolkit.h"

#include <algorithm>
#include <limits>
#include <string>

namespace tuft::app {

// "0.05" or "5%": a finite height above 0; throws UsageError naming --blade-height.
BladeHeight parseBladeHeight(const std::string &text);

// The run that shows the panel as the user's actions leave it, and cancels: no blade is
// built, the panel as it closes tells the mode and the field. Presets are loaded, not saved.
PlantJob panelProbe(const PlantJob &job);
// The run that plants one blade of the user's shape at Size 1, without roughness, on an
// empty field.
PlantJob templateProbe(const PlantJob &job);

// An empty object on which the probes' panel events judge as on the job's: in the same
// selection mode (points, when the job scatters) and with the weight map "ZTSW".
host::Object probeObject(const PlantJob &job, const host::Object &object);

// The Y extent of the points in [first, end) that `included` picks; 0 for none.
template <typename Included>
double heightOfPoints(const host::LayerMesh &mesh, std::size_t first, std::size_t end, Included included)
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
    mesh.forPositions(first, end, [&](std::size_t i, const host::Vec3 &p) {
        if (!included(i))
            return;
        low = std::min(low, p.y);
        high = std::max(high, p.y);
    });
    return high >= low ? high - low : 0.0;
}

// How tall the geometry of a layer stands (its extent along Y); 0 for none.
double heightOfLayer(const host::Object &object, int layer);

// The height the blades are asked to have, in the file's units: as given, or the share
// of the field (Ground mode) or of the height of what is selected on the current layer
// (all of the layer when nothing is, or when what is lies flat). Throws UsageError when that is flat or the template is
// not the built blade ("BGLayer Object" on).
double askedBladeHeight(const BladeHeight &asked, const toolkit::PanelView &panel, const host::Object &object);

// The job with "Size" set after the user's own actions, before OK (and before a preset
// saved last, which then keeps it).
PlantJob withSize(const PlantJob &job, double size);

} // namespace tuft::app
