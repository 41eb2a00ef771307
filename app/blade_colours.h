// Grass that is not one green: each blade's colour lies between two colours, chosen by a
// smooth noise of where the blade stands on the ground (X, Z), so that patches drier or
// greener than their surroundings appear, plus an optional random part per blade.
#pragma once

#include "host/object.h"
#include "meshio/meshio.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tuft::app {

struct ColourOptions {
    meshio::Rgb from{}, to{}; // sRGB
    double scale = 0;         // the noise's feature size; 0: a quarter of the blades' spread
    double jitter = 0;        // 0 to 1: the share of each blade's own random part
};

// "#rrggbb" as sRGB bytes; throws UsageError naming `option` for anything else.
meshio::Rgb parseHexColour(const std::string &text, const std::string &option);
// "A,B": the two colours of --colour.
ColourOptions parseColourPair(const std::string &text);

// The colour field: smooth value noise on the ground plane, seeded, mixed with a random
// number per blade, mapping to a mix of the two colours in linear light.
class ColourField {
public:
    ColourField(const ColourOptions &options, double scale, std::uint64_t seed);
    // Where between the two colours a blade standing at (x, z) lies: 0 is `from`, 1 is `to`.
    double mixAt(double x, double z, std::uint64_t blade) const;
    double noiseAt(double x, double z) const;
    meshio::Rgb colourAt(double x, double z, std::uint64_t blade) const;

private:
    double latticeValue(std::int64_t i, std::int64_t k) const;

    ColourOptions options_;
    double scale_;
    std::uint64_t seed_;
    double fromLinear_[3], toLinear_[3];
};

// Blades planted into a layer by one run: `count` of them from point `firstPoint` on,
// `bladePoints` to a blade.
struct BladeRun {
    std::size_t firstPoint = 0, bladePoints = 0, count = 0;
};
// The colours of the blades of a layer's runs, one field over all of them: each blade
// coloured where it stands (its lowest point).
meshio::BladeColours colourBlades(const host::Layer &layer, const std::vector<BladeRun> &runs,
                                  const ColourOptions &options, std::uint64_t seed);

} // namespace tuft::app
