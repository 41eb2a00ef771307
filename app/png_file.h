// Writes RGB pixels as a PNG file, among a run's outputs.
#pragma once

#include "meshio/output_set.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::app {

// Rows top first, three bytes a pixel; the file is added complete to `outputs`. Throws
// meshio::MeshIoError when it cannot write.
void writePng(meshio::OutputSet &outputs, const std::string &path, const std::vector<std::uint8_t> &rgb, int width,
              int height);

} // namespace tuft::app
