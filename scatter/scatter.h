// Scattering points over a layer's selected polygons, as a modeler user would before
// planting on points: by area, uniformly at random or at least a distance apart, on
// polygons no steeper than a slope, thinned by a painted density and weighted by a
// painted size, spread evenly or gathered in clumps. The points are added to the layer, selected, and taken out again
// once the blades stand on them.
#pragma once

#include "host/object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tuft::scatter {

// The most points one scattering makes.
constexpr std::uint64_t kMostPoints = std::uint64_t(1) << 32;

struct ScatterOptions {
    std::optional<std::uint64_t> count; // this many points, or
    std::optional<double> density;      // this many per unit of area (where the density map is 1)
    double spacing = 0;                 // no two points closer than this (0: no such rule)
    double maxSlope = 180;              // degrees from up a polygon's normal may lean
    std::string densityMap;             // a weight map scaling the density (0 none, 1 full); empty: none
    std::string sizeMap;                // a weight map that becomes each point's "ZTSW" weight; empty: 1
    std::uint64_t seed = 0;
    // Points gathered around `count` centres scattered by area, each within `radius` of one.
    struct Clumping {
        std::uint64_t count;
        double radius;
    };
    std::optional<Clumping> clumps;
    // The density falls smoothly to 0 over this distance from the border of the selected
    // polygons (holes in the selection too); 0 for none.
    double edgeFalloff = 0;
};

struct ScatterResult {
    std::uint64_t asked = 0;             // the points wanted
    std::uint64_t made = 0;              // the points added (fewer when spacing leaves no room)
    std::uint32_t firstPoint = 0;        // where they start in the layer's points
    double area = 0;                     // of the polygons scattered over, density applied
    std::vector<std::uint32_t> polygons; // the polygon each point lies on, in the points' order
    std::vector<host::Vec3> centres;     // of the clumps, when the points gather in them
};

// Adds the points to the layer after its own, selected, with their "ZTSW" weights, and
// puts the object in point selection (every other point deselected). Throws
// std::invalid_argument for options that cannot be followed (no selected polygon, an
// unknown map).
ScatterResult scatterPoints(host::Object &object, int layer, const ScatterOptions &options);

// Takes the points scatterPoints added out of the layer again; polygons added since
// (the blades) keep their points.
void removeScatteredPoints(host::Object &object, int layer, const ScatterResult &result);

} // namespace tuft::scatter
