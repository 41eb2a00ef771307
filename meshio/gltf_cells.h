// The nodes that draw a run of instances: one for the run, or one for each square cell
// of the ground (X, Z) that holds placements, so that an engine can cull grass by cell.
// Each node knows the box its placements' translations lie in; a node takes at most so
// many placements that its largest accessor (the rotations) stays within 2 GiB.
#pragma once

#include "host/layer_mesh.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tuft::meshio::gltf {

// Placements a node holds at most: 16 bytes of rotation each fill 2 GiB.
inline constexpr std::size_t kMostPlacementsPerNode = std::size_t(1) << 27;

struct InstanceNode {
    bool celled = false;
    std::int64_t cellX = 0, cellZ = 0; // the cell [cellX, cellX + 1) x [cellZ, cellZ + 1), in sides
    std::size_t begin = 0, end = 0;    // its placements: InstanceNodes::placement(begin .. end - 1)
    float low[3], high[3];             // the box of their translations, as written
};

struct InstanceNodes {
    std::vector<std::uint32_t> order; // the placements cell by cell; empty: in the run's order
    std::vector<InstanceNode> nodes;
    std::size_t placement(std::size_t k) const { return order.empty() ? k : order[k]; }
};

// The nodes of a run whose placements glTF can say (gltf::isTrs); `cell` the side of a
// cell, 0 for none. Cells come in order of Z, then X; within a node the placements keep
// the run's order. `mostPerNode` is for tests.
InstanceNodes instanceNodes(const host::InstanceRun &run, double cell,
                            std::size_t mostPerNode = kMostPlacementsPerNode);

} // namespace tuft::meshio::gltf
