// Several blades mixed by weight, as a user gets them by running the command once per
// preset: each variant is a preset (the blade it shapes) or a mesh (planted as "BGLayer
// Object" plants one), planted by a run of its own over its share of the targets: of
// "Number" in Ground mode, of the selected points or polygons otherwise.
#pragma once

#include "app/plant_job.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::app {

// PATH or PATH:WEIGHT (weight 1 when left out). A .zts path is a preset; .obj, .ply,
// .glb and .gltf are meshes. UsageError naming --variant for anything else, and for a
// weight that is not a finite number above 0.
Variant parseVariant(const std::string &text);
// The surface a variant's blades get: its file's name without folder and extension.
std::string variantSurface(const Variant &variant);

// The variants' weights, in order.
std::vector<double> weightsOf(const std::vector<Variant> &variants);
// `total` split by weight: the parts add up to it, each within one of its exact share
// (the largest remainders get the ones left over, the earlier first on a tie).
std::vector<std::uint64_t> splitByWeight(std::uint64_t total, const std::vector<double> &weights);
// A variant for each of `count` targets, drawn by weight from the host's generator.
std::vector<std::uint32_t> shareByWeight(std::size_t count, const std::vector<double> &weights, std::uint64_t seed);

// The job of one variant: a mesh variant's "BGLayer Object" ticked, or the preset loaded
// first; then the user's actions; its surface named after it unless the user names one;
// its own clock (`clock`), so that variants do not repeat one another's random numbers.
PlantJob variantJob(const PlantJob &job, const Variant &variant, std::int64_t clock);
// The same job planting `number` blades, set just before OK.
PlantJob withNumber(const PlantJob &job, std::uint64_t number);

} // namespace tuft::app
