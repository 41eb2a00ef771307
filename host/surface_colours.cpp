#include "host/surface_colours.h"

#include <algorithm>

namespace tuft::host {

namespace {

constexpr float kGrass[3] = {0.26f, 0.55f, 0.14f};
constexpr float kPalette[][3] = {{0.62f, 0.55f, 0.45f}, {0.45f, 0.5f, 0.58f}, {0.7f, 0.62f, 0.35f},
                                 {0.55f, 0.4f, 0.35f},  {0.4f, 0.55f, 0.5f},  {0.6f, 0.6f, 0.6f}};

} // namespace

const float *surfaceColour(const Object &object, std::uint32_t surface, const std::vector<std::string> &plantedSurfaces)
{
    const std::string &name = object.surfaceName(surface);
    const auto material = object.materials.find(name);
    if (material != object.materials.end())
        return material->second.diffuse;
    if (std::find(plantedSurfaces.begin(), plantedSurfaces.end(), name) != plantedSurfaces.end())
        return kGrass;
    return kPalette[surface % (sizeof kPalette / sizeof kPalette[0])];
}

} // namespace tuft::host
