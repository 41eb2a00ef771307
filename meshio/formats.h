// The readers and writers of each format, behind readMesh and writeMesh.
#pragma once

#include "meshio/meshio.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tuft::meshio {

class OutputSet;

// The text of a material library an OBJ file names (as the file writes the name); throws
// MeshIoError saying why it cannot be had. An empty function reads no libraries.
using LibraryReader = std::function<std::string(const std::string &objPath, const std::string &library)>;

// Hands a text's pieces of whole lines, with the number of each piece's first line, to
// the function it is given: a file read piece by piece, or a text in memory at once.
using LineSink = std::function<void(std::string_view text, std::size_t firstLine)>;
using TextSource = std::function<void(const LineSink &sink)>;

// Readers of a file's content; `path` names it in messages.
ReadWarnings readObj(const std::string &path, const TextSource &text, host::Object &object, int layer,
                     const LibraryReader &libraries);
ReadWarnings readPly(const std::string &path, const std::string &data, host::Object &object, int layer);
// glTF: `binary` for .glb; `files` gives a .gltf file's buffers beside it.
ReadWarnings readGltf(const std::string &path, const std::string &data, host::Object &object, int layer, bool binary,
                      const LibraryReader &files);
// Reads the materials (names, colours and statements) of a library into the object; a
// library that cannot be had or read is a warning, never a failure.
void readMaterialLibrary(const std::string &objPath, const std::string &library, host::Object &object,
                         const LibraryReader &libraries, ReadWarnings &warnings);

// The material libraries an OBJ file names, and the one written with it (when any
// surface has no material in the others).
struct MaterialLibraries {
    std::vector<std::string> names;    // an "mtllib" line each
    std::string path;                  // of the library written beside the OBJ file; empty for none
    std::string content;               // of that library
    std::vector<std::string> warnings; // what the materials lose in OBJ
};

// The writers add their files to `outputs`, each complete, for the caller to commit.
WrittenCounts writeObj(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteOptions &options, const MaterialLibraries &libraries);
WrittenCounts writePly(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteOptions &options);

// glTF 2.0: `binary` for .glb, else .gltf with its data in a .bin beside it.
WrittenCounts writeGltf(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &layers,
                        const host::Object &object, const WriteOptions &options, bool binary);

// The placements of the blades kept as instances, a line each (holdsPlacements()).
WrittenCounts writeCsv(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteOptions &options);

// The libraries of an OBJ file: those of the object's that are beside it, and one
// beside the file with the materials of the surfaces the layers use that none of those
// defines: copied whole from the object's other libraries (their textures found from the
// file's folder), else the surfaces' own colours.
MaterialLibraries materialLibrariesFor(const std::string &objPath, const host::Object &object,
                                       const std::vector<const host::Layer *> &layers, const WriteOptions &options);

} // namespace tuft::meshio
