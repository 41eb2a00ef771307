// Reading and writing mesh files into and out of the host's object.
#pragma once

#include "host/object.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tuft::meshio {

// A file that could not be read or written; the message names the file and what was wrong.
class MeshIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class LayerChoice { kCurrent, kAll };
enum class PlyEncoding { kBinary, kAscii };

// What a reader could not keep, a line a kind, each naming the file, how many and what
// became of them. Warnings never stop a read.
using ReadWarnings = std::vector<std::string>;

// Reads a mesh file (by extension: .obj or .ply) into the layer of that number, beside
// what it holds. OBJ materials (else groups) become surface names; extra float
// properties of PLY vertices become weight maps of their names. Nothing is added when
// the file is bad: MeshIoError names the file, the line or byte, and what was wrong.
ReadWarnings readMesh(const std::string &path, host::Object &object, int layer);

struct WrittenCounts {
    std::size_t points = 0;
    std::size_t polygons = 0;
};

// Told how far a write has come: `done` of `total` elements (points, UVs, polygons),
// a few hundred times a file at most.
using WriteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Writes the current layer, or every layer holding geometry, to a file (by extension:
// .obj or .ply, binary unless asked for text). The file is replaced only once it is
// completely written.
WrittenCounts writeMesh(const std::string &path, const host::Object &object, LayerChoice layers,
                        PlyEncoding encoding = PlyEncoding::kBinary, const WriteProgress &progress = {});

// Whether a path names a format these functions know.
bool knownFormat(const std::string &path);

} // namespace tuft::meshio
