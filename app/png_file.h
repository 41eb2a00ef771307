// Writes RGB pixels as a PNG file, replacing the file only once it is complete.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::app {

// Rows top first, three bytes a pixel. Throws meshio::MeshIoError when it cannot write.
void writePng(const std::string &path, const std::vector<std::uint8_t> &rgb, int width, int height);

} // namespace tuft::app
