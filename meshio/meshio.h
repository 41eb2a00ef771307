// Reading and writing mesh files into and out of the host's object.
#pragma once

#include "host/object.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tuft::meshio {

class OutputSet;

// A file that could not be read or written; the message names the file and what was wrong.
class MeshIoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class LayerChoice { kCurrent, kAll };
enum class PlyEncoding { kBinary, kAscii };
// The up axis of a file: the object's own is Y; a Z-up file is turned as it is read and
// written, so the object stays Y-up (glTF is Y-up by definition and never turned).
enum class UpAxis { kY, kZ };

// What a reader could not keep, a line a kind, each naming the file, how many and what
// became of them. Warnings never stop a read.
using ReadWarnings = std::vector<std::string>;

// Reads a mesh file (by extension: .obj or .ply) into the layer of that number, beside
// what it holds. OBJ materials (else groups) become surface names; extra float
// properties of PLY vertices become weight maps of their names. Nothing is added when
// the file is bad: MeshIoError names the file, the line or byte, and what was wrong.
// `companions`, when given, gets the paths of the files it named and that were read
// (material libraries, glTF buffers).
ReadWarnings readMesh(const std::string &path, host::Object &object, int layer, UpAxis up = UpAxis::kY,
                      std::vector<std::string> *companions = nullptr);

// What a written file could not say as the object does (values two UV maps disagree on,
// polygons the format cannot hold), a line a kind. Warnings never stop a write.
class WriteWarnings : public std::vector<std::string> {};

struct WrittenCounts {
    std::size_t points = 0;
    std::size_t polygons = 0;
    std::size_t placements = 0; // the lines of a table of placements (.csv)
    WriteWarnings warnings;
};

// Told how far a write has come: `done` of `total` elements (points, UVs, polygons),
// a few hundred times a file at most.
using WriteProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// A colour as sRGB bytes: red, green, blue.
using Rgb = std::array<std::uint8_t, 3>;
// An sRGB byte as light, 0 to 1: what glTF's colours hold and what colours mix in.
inline double linearOf(std::uint8_t srgb)
{
    const double c = srgb / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// The colours of the blades planted into a layer, a run of blades alike at a time: the
// layer's points from a run's `firstPoint` on, `bladePoints` to a blade, each blade's
// points in the blade's colour. Other points are white, which leaves a material a reader
// multiplies the colour into as it was.
struct BladeColours {
    struct Run {
        std::size_t firstPoint = 0, bladePoints = 0;
        std::vector<Rgb> blades;
    };
    int layer = 0; // the layer's number
    std::vector<Run> runs;

    bool empty() const
    {
        for (const Run &run : runs)
            if (!run.blades.empty())
                return false;
        return true;
    }
    // The colour of the blade a point is on; null for a point of none.
    const Rgb *find(std::size_t point) const
    {
        for (const Run &run : runs)
            if (point >= run.firstPoint && run.bladePoints > 0 &&
                (point - run.firstPoint) / run.bladePoints < run.blades.size())
                return &run.blades[(point - run.firstPoint) / run.bladePoints];
        return nullptr;
    }
    Rgb ofPoint(std::size_t point) const
    {
        const Rgb *found = find(point);
        return found != nullptr ? *found : Rgb{255, 255, 255};
    }
};

struct WriteOptions {
    LayerChoice layers = LayerChoice::kCurrent;
    PlyEncoding plyEncoding = PlyEncoding::kBinary;
    // The UV map written alone; empty: every UV map, merged into one channel.
    std::string uvMap;
    // Smooth normals (area-weighted per point within each surface) where the object has
    // none of its own; a file that has any normals gets them for every corner anyway.
    bool normals = false;
    UpAxis up = UpAxis::kY;
    // The surfaces the planted blades carry, green in a material library that is written.
    std::vector<std::string> plantedSurfaces{std::string()}; // an unnamed surface is the blades' by default
    // What made the file, for formats that keep it (glTF: asset.generator, and the
    // options and clock in asset.extras).
    std::string generator;
    std::vector<std::pair<std::string, std::string>> provenance;
    // glTF: runs of instances as their blade and a node drawing it at every placement
    // (EXT_mesh_gpu_instancing), where glTF can say the placements; other formats cannot.
    bool instances = false;
    // With instances: a node for each square of this side on the ground (X, Z) holding
    // placements, rather than one for a run; 0 for none.
    double cell = 0;
    // Blades coloured one by one, in the layers these name: a colour per vertex (PLY
    // red, green, blue; OBJ v x y z r g b; glTF COLOR_0), per placement when instanced
    // (_COLOR_0). The other layers' points are white.
    std::vector<BladeColours> colours;
    WriteProgress progress;
};

// Writes the current layer, or every layer holding geometry, to a file (by extension:
// .obj, .ply (binary unless asked for text), .glb, .gltf, or .csv for the placements).
// The file is replaced only once it is completely written. An OBJ file names its
// materials' libraries: those the input named that are beside it, and one written
// beside it for the other surfaces (the materials of the input's libraries elsewhere
// copied in whole).
WrittenCounts writeMesh(const std::string &path, const host::Object &object, const WriteOptions &options);
// The same, its files (the mesh and what is written beside it) added to `outputs`
// complete, to be put in place when the caller commits them.
WrittenCounts writeMesh(OutputSet &outputs, const std::string &path, const host::Object &object,
                        const WriteOptions &options);
WrittenCounts writeMesh(const std::string &path, const host::Object &object, LayerChoice layers,
                        PlyEncoding encoding = PlyEncoding::kBinary, const WriteProgress &progress = {});

// The files written beside an output of that name, as paths: a .gltf's buffer, an OBJ
// file's material library under either name it may take.
std::vector<std::string> companionsOf(const std::string &path);
// Why an output of that name could not be read back whole, empty when it can: an OBJ
// file names its material library, named after it, on an "mtllib" line, where readers
// end a name at white space and take '#' for a comment.
std::string outputNameProblem(const std::string &path);

// The layers a choice writes: the current one, or every layer holding geometry.
std::vector<const host::Layer *> chosenLayers(const host::Object &object, LayerChoice choice);

// Whether a path names a format these functions know.
bool knownFormat(const std::string &path);
// Whether that format can write instances (WriteOptions::instances): .glb and .gltf.
bool takesInstances(const std::string &path);
// Whether it is a table of the blades' placements (.csv), written and never read: one
// line a blade kept as an instance (its number, translation, rotation quaternion, scale
// and layer), nothing else of the object.
bool holdsPlacements(const std::string &path);

} // namespace tuft::meshio
