// A picture of the object without a display: drawn offscreen at twice the size and
// averaged down, so edges are smooth.
#pragma once

#include "host/object.h"
#include "meshio/meshio.h"
#include "view/camera.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::view {

struct PictureOptions {
    int width = 1200, height = 800;
    Camera camera;
    std::vector<std::string> plantedSurfaces{std::string()}; // drawn as grass where no material says otherwise
    std::vector<meshio::BladeColours> colours;               // blades drawn in colours of their own
};

// RGB rows, top row first. Throws std::runtime_error when no OpenGL context, or no memory
// for the picture, can be had.
std::vector<std::uint8_t> renderPicture(const host::Object &object, const std::vector<const host::Layer *> &layers,
                                        const PictureOptions &options);

} // namespace tuft::view
