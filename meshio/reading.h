// What the mesh readers share: building a layer's points and maps, then adding them to
// the object only once the whole file has been read.
#pragma once

#include "host/object.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tuft::meshio {

// The whole of an input file: a regular file only, read no further than its size, so
// that a device, a FIFO or a file that grows while it is read cannot take the program's
// memory or time. A file that must start with `magic` is refused before the rest is
// read (after a UTF-8 byte-order mark, if the file has one), and one larger than
// `largest` bytes at once. Throws MeshIoError naming the file
// and why.
std::string readInputFile(const std::string &path, std::string_view magic = {},
                          std::uint64_t largest = ~std::uint64_t(0));

// Reads a text input file (a regular file, as readInputFile) in pieces of whole lines,
// handing each piece and the number of its first line to `take`; a line that ends in a
// backslash stays with the next. Memory stays at a piece, whatever the file's size.
void readInputLines(const std::string &path,
                    const std::function<void(std::string_view text, std::size_t firstLine)> &take);

// The path of a file another file names (a material library, a buffer): in the naming
// file's folder or below it, never elsewhere (links followed); throws MeshIoError when it
// leads elsewhere. `name` may be percent-encoded, as a URI.
std::string besidePath(const std::string &namingPath, const std::string &name);
// That file's content: a regular file of at most `largest` bytes.
std::string fileBeside(const std::string &namingPath, const std::string &name, std::uint64_t largest);
// The text of a material library an OBJ file names: a file beside it, 16 MB at most.
std::string materialLibraryText(const std::string &objPath, const std::string &library);
// The file an OBJ file's "mtllib" name leads to: besidePath's; for a name it refuses,
// the name in the OBJ file's folder, where other readers look for it.
std::string libraryPath(const std::string &objPath, const std::string &library);

// At most `most` bytes of a value from a file, for a message: a longer one is cut (at a
// character's start) and says how long it was.
std::string excerpt(std::string_view text, std::size_t most = 40);

// Gives the mesh's points the values of a point map (registered in the object by type,
// name and dimension): `values` holds `dimension` floats a point, `has` one flag a point.
// Throws MeshIoError, naming the file, when a map of that name has another dimension.
void attachPointMap(const std::string &path, host::Object &object, host::Mesh &mesh, std::uint32_t type,
                    const std::string &name, int dimension, const std::vector<float> &values,
                    const std::vector<std::uint8_t> &has);

// Adds a mesh read whole from `path` to the layer of that number, beside what it holds.
void appendToLayer(const std::string &path, host::Object &object, int layerNumber, const host::Mesh &mesh);

} // namespace tuft::meshio
