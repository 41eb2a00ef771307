// What a picture of the object is drawn from: every polygon of the chosen layers as
// triangles over shared vertices, each with a smooth normal and its surface's colour.
#pragma once

#include "host/object.h"
#include "meshio/meshio.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::view {

struct Scene {
    std::vector<float> positions;                  // three a vertex
    std::vector<std::int16_t> normals;             // three a vertex, unit length in 1/32767ths
    std::vector<std::uint8_t> colours;             // three a vertex, 0..255
    std::vector<std::uint32_t> triangles;          // three vertex numbers a triangle
    float low[3] = {0, 0, 0}, high[3] = {0, 0, 0}; // the bounds; equal when empty
    bool empty() const { return triangles.empty(); }
};

// The layers' polygons of three points or more, as fans; a vertex per point and
// surface, so that a point between surfaces takes each one's colour.
// `plantedSurfaces`: the surfaces drawn as grass where no material says otherwise;
// `colours`: blades drawn in colours of their own, by layer.
Scene sceneOf(const host::Object &object, const std::vector<const host::Layer *> &layers,
              const std::vector<std::string> &plantedSurfaces, const std::vector<meshio::BladeColours> &colours = {});

} // namespace tuft::view
