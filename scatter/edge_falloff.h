// How much of the density stays near the border of the selected polygons: none on it,
// rising smoothly to all of it at a distance from it. The border is every edge that
// belongs to one selected polygon alone: the outline of the selection and of each hole
// in it, where a path runs.
#pragma once

#include "host/layer_mesh.h"

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace tuft::scatter {

class EdgeFalloff {
public:
    EdgeFalloff(const host::LayerMesh &mesh, double distance);

    // 0 on the border, smoothstep(distance to it / the falloff's distance), 1 beyond.
    double at(const host::Vec3 &p) const;

private:
    struct Segment {
        host::Vec3 a, b;
    };
    std::int64_t cell(double value) const;
    static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z);
    double nearest(const host::Vec3 &p) const;

    double distance_;
    std::vector<Segment> segments_; // the border in pieces no longer than the distance
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> cells_; // pieces by cells of that side
};

} // namespace tuft::scatter
