// Runs of instances as glTF's EXT_mesh_gpu_instancing draws them: the blade once, and a
// translation, rotation and scale for each placement (glTF's T·R·S). A run qualifies when
// its steps are about the origin and come in that order: scales, then turns, then moves.
#pragma once

#include "host/object.h"

#include <array>
#include <cstddef>
#include <vector>

namespace tuft::meshio::gltf {

inline constexpr const char *kInstancing = "EXT_mesh_gpu_instancing";

bool isTrs(const host::InstanceRun &run);

// A placement as floats: the rotation a unit quaternion (x, y, z, w) that turns as the
// host's left-handed turns do, composed in the order they are applied.
struct Trs {
    float translation[3];
    float rotation[4];
    float scale[3];
};
// Of a run that isTrs().
Trs trsOf(const host::InstanceRun &run, std::size_t instance);
// Each part alone, as trsOf() has it: writing a file's translations, rotations and
// scales one after another, each is worked out once.
std::array<float, 3> translationOf(const host::InstanceRun &run, std::size_t instance);
std::array<float, 4> rotationOf(const host::InstanceRun &run, std::size_t instance);
std::array<float, 3> scaleOf(const host::InstanceRun &run, std::size_t instance);
// The same placement in a Z-up file, whose blade is turned there too: the move and the
// rotation's axis turned, the scale's Y and Z swapped.
Trs zUpTrs(Trs trs);

// A run written as instances, with the number of its first instance among the layer's,
// and the layer's number of its first point.
struct InstancedRun {
    const host::InstanceRun *run;
    std::size_t firstId;
    std::size_t firstPoint;
};

// A layer apart: its runs that qualify, and a layer of everything else (own meshes, runs
// written realized), sharing their pieces with `layer`.
struct SplitLayer {
    host::Layer rest;
    std::vector<InstancedRun> runs;
    // Where the rest's points come from: for each piece taken, its first point in the
    // rest and in the layer, in order.
    std::vector<std::pair<std::size_t, std::size_t>> restOrigins;
    // The layer's number of a point of the rest.
    std::size_t layerPointOf(std::size_t restPoint) const;
};
SplitLayer splitInstances(const host::Layer &layer);

// A layer holding a copy of the run's blade alone, under the number of `layer`.
host::Layer bladeLayer(const host::Layer &layer, const host::InstanceRun &run);

} // namespace tuft::meshio::gltf
