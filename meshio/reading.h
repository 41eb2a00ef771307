// What the mesh readers share: building a layer's points and maps, then adding them to
// the object only once the whole file has been read.
#pragma once

#include "host/object.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tuft::meshio {

// The whole of an input file: a regular file only, read no further than its size, so
// that a device, a FIFO or a file that grows while it is read cannot take the program's
// memory or time. Throws MeshIoError naming the file and why.
std::string readInputFile(const std::string &path);

// Gives the mesh's points the values of a point map (registered in the object by type,
// name and dimension): `values` holds `dimension` floats a point, `has` one flag a point.
// Throws MeshIoError, naming the file, when a map of that name has another dimension.
void attachPointMap(const std::string &path, host::Object &object, host::Mesh &mesh, std::uint32_t type,
                    const std::string &name, int dimension, const std::vector<float> &values,
                    const std::vector<std::uint8_t> &has);

// Adds a mesh read whole from `path` to the layer of that number, beside what it holds.
void appendToLayer(const std::string &path, host::Object &object, int layerNumber, const host::Mesh &mesh);

} // namespace tuft::meshio
