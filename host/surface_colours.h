// The colour a surface is shown and exported in: the same in material libraries, glTF
// materials and pictures.
#pragma once

#include "host/object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::host {

// A surface's colour (red, green, blue in 0..1): its material's where a file defined one,
// green for the planted blades' surfaces, else one of a palette that tells surfaces apart.
const float *surfaceColour(const Object &object, std::uint32_t surface,
                           const std::vector<std::string> &plantedSurfaces);

} // namespace tuft::host
