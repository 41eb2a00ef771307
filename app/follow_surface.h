// Blades that follow the surface where the plug-in would stand them upright: on scattered
// points and in Point mode. The plug-in tilts blades only in Polygon mode, toward each
// polygon's normal and onto its centre; so the host makes, for every point planted on, a
// small temporary triangle centred on it and facing the surface there, has the plug-in
// plant on those in Polygon mode, and takes the triangles out again.
#pragma once

#include "app/plant_job.h"
#include "host/object.h"
#include "scatter/scatter.h"
#include "toolkit/panel_toolkit.h"

#include <cstdint>
#include <vector>

namespace tuft::app {

// Turns the job's Point mode into Polygon mode: the panel actions choose "Polygon" where
// they chose " Point ", and "(WeightMap)" becomes the host's to honour (the job's
// followSurface says whether it was on; "Roughness(random)" is then set to 0, as Point
// mode ignores it). Throws UsageError for a job that does not end in Point mode.
void followSurface(PlantJob &job);

struct SurfaceTemporaries {
    std::uint32_t firstPoint = 0, firstPolygon = 0; // where the triangles start in the layer
    std::vector<host::Vec3> bases;                  // the points planted on, a triangle each
    std::vector<float> sizes;                       // their weights, when the weights size the blades
    std::vector<std::uint32_t> userPolygons;        // the polygons selected before, selected again after
    host::SelectionMode selectionMode = host::SelectionMode::kPoints;
};

// Adds a triangle for every point Point mode would plant on (the selected points of the
// layer in point selection mode; with weights, those weighing above 0), facing the normal
// of the polygon a scattered point lies on, or for any other point the mean of the normals
// of the polygons that use it (+Y when none does); selects those triangles alone, in
// polygon selection mode. Throws std::invalid_argument for a layer that does not exist.
SurfaceTemporaries addSurfaceTemporaries(host::Object &object, int layer, const FollowSurface &follow,
                                         const scatter::ScatterResult *scattered);

// Takes the triangles and their points out again and gives back the selection. When the
// blades were planted (`planted`) and weights size them, each blade is first scaled about
// its base by its point's weight, as Point mode scales it.
void removeSurfaceTemporaries(host::Object &object, int layer, const SurfaceTemporaries &temporaries, bool planted);

// The panel as Point mode would have closed it, to tell why nothing was planted.
toolkit::PanelView asPointModePanel(const toolkit::PanelView &closed, const FollowSurface &follow);

} // namespace tuft::app
