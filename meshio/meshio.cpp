#include "meshio/meshio.h"

#include "host/in_parts.h"

#include "host/paths.h"
#include "meshio/export_layer.h"
#include "meshio/formats.h"
#include "meshio/output_set.h"
#include "meshio/reading.h"
#include "meshio/writing.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <future>
#include <system_error>

namespace tuft::meshio {

namespace {

std::string extensionOf(const std::string &path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = host::lastSeparator(path);
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return "";
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

// The first of the layer's points that is not at a finite position, or none.
constexpr std::size_t kNone = ~std::size_t(0);
std::size_t firstNotFinite(const host::LayerMesh &mesh)
{
    const std::vector<std::size_t> firsts = host::inParts(mesh.pointCount(), [&](std::size_t first, std::size_t end) {
        return mesh.firstNotFinite(first, end).value_or(kNone);
    });
    return *std::min_element(firsts.begin(), firsts.end());
}

// A file never holds a position that is not a number.
void checkPositions(const std::string &path, const std::vector<const host::Layer *> &layers)
{
    for (const host::Layer *layer : layers)
        if (const std::size_t bad = firstNotFinite(layer->mesh); bad != kNone)
            throw MeshIoError("cannot write " + path + ": point " + std::to_string(bad) + " of layer " +
                              std::to_string(layer->number) + " is not at a finite position");
}

// Nor a map value that is not one: a map's values are the blade's few, checked at once.
void checkMaps(const std::string &path, const host::Object &object, const std::vector<const host::Layer *> &layers)
{
    for (const host::Layer *layer : layers)
        for (const host::LayerMesh::Piece &piece : layer->mesh.pieces()) {
            const host::Mesh &mesh = piece.mesh ? *piece.mesh : *piece.run->blade;
            for (const host::PointMap &map : mesh.pointMaps()) {
                const auto finite = [](float v) { return std::isfinite(v); };
                bool good = std::all_of(map.values.begin(), map.values.end(), finite);
                for (const host::CornerValue &corner : map.corners)
                    good = good && std::all_of(corner.value, corner.value + map.dimension, finite);
                if (!good)
                    throw MeshIoError("cannot write " + path + ": the map \"" + object.mapInfo(map.key).name +
                                      "\" of layer " + std::to_string(layer->number) +
                                      " holds a value that is not a finite number");
            }
        }
}

} // namespace

std::vector<const host::Layer *> chosenLayers(const host::Object &object, LayerChoice choice)
{
    std::vector<const host::Layer *> chosen;
    if (choice == LayerChoice::kAll) {
        for (const host::Layer *layer : object.layers())
            if (!layer->mesh.empty())
                chosen.push_back(layer);
    } else if (const host::Layer *layer = object.findLayer(object.currentLayer)) {
        chosen.push_back(layer);
    }
    return chosen;
}

namespace {

enum class Format { kObj, kPly, kGlb, kGltf, kCsv };

// The format a path names by its extension; MeshIoError for none of them.
Format formatOf(const std::string &path)
{
    const std::string extension = extensionOf(path);
    if (extension == "obj")
        return Format::kObj;
    if (extension == "ply")
        return Format::kPly;
    if (extension == "glb")
        return Format::kGlb;
    if (extension == "gltf")
        return Format::kGltf;
    if (extension == "csv")
        return Format::kCsv;
    throw MeshIoError(path + ": unknown mesh format (expected .obj, .ply, .glb, .gltf, or .csv for placements)");
}

WrittenCounts writeByFormat(OutputSet &outputs, const std::string &path, Format format,
                            const std::vector<const host::Layer *> &chosen, const host::Object &object,
                            const WriteOptions &options)
{
    switch (format) {
    case Format::kPly:
        return writePly(outputs, path, chosen, object, options);
    case Format::kObj:
        return writeObj(outputs, path, chosen, object, options, materialLibrariesFor(path, object, chosen, options));
    case Format::kGlb:
    case Format::kGltf:
        return writeGltf(outputs, path, chosen, object, options, format == Format::kGlb);
    case Format::kCsv:
        return writeCsv(outputs, path, chosen, object, options);
    }
    return {};
}

// A reader of the files a mesh file names that notes their paths in `read`, when given.
LibraryReader noting(LibraryReader reader, std::vector<std::string> *read)
{
    if (read == nullptr)
        return reader;
    return [reader, read](const std::string &naming, const std::string &name) {
        std::string text = reader(naming, name);
        read->push_back(besidePath(naming, name));
        return text;
    };
}

ReadWarnings readByFormat(const std::string &path, Format format, host::Object &object, int layer,
                          std::vector<std::string> *companions)
{
    const LibraryReader buffers =
        noting([](const std::string &gltf, const std::string &uri) { return fileBeside(gltf, uri, ~std::uint64_t(0)); },
               companions);
    switch (format) {
    case Format::kPly:
        return readPly(path, readInputFile(path, "ply"), object, layer);
    case Format::kObj:
        return readObj(
            path, [&path](const LineSink &sink) { readInputLines(path, sink); }, object, layer,
            noting(materialLibraryText, companions));
    case Format::kGlb:
        return readGltf(path, readInputFile(path, "glTF"), object, layer, true, buffers);
    case Format::kGltf:
        return readGltf(path, readInputFile(path), object, layer, false, buffers);
    case Format::kCsv:
        throw MeshIoError(path + ": a .csv file holds placements, not a mesh: it is written, never read");
    }
    return {};
}

// A Z-up file's points and normals turned into the object's Y-up.
void turnFromZUp(host::Mesh &mesh, std::size_t firstPoint)
{
    for (std::size_t i = firstPoint; i < mesh.pointCount(); ++i) {
        host::Vec3 p = mesh.position(i);
        zUpToYUp(p.x, p.y, p.z);
        mesh.setPosition(i, p);
    }
    const auto turn = [](float *n) { zUpToYUp(n[0], n[1], n[2]); };
    for (const host::PointMap &normals : mesh.pointMaps()) {
        if (normals.type != host::kNormalMap || normals.dimension != 3)
            continue;
        host::PointMap &map = *mesh.findMap(normals.key);
        for (std::size_t i = firstPoint; i < mesh.pointCount(); ++i)
            turn(&map.values[3 * i]);
        for (host::CornerValue &corner : map.corners)
            if (corner.point >= firstPoint)
                turn(corner.value);
    }
}

} // namespace

bool knownFormat(const std::string &path)
{
    try {
        formatOf(path);
        return true;
    } catch (const MeshIoError &) {
        return false;
    }
}

bool takesInstances(const std::string &path)
{
    return knownFormat(path) && (formatOf(path) == Format::kGlb || formatOf(path) == Format::kGltf);
}

bool holdsPlacements(const std::string &path) { return knownFormat(path) && formatOf(path) == Format::kCsv; }

std::vector<std::string> companionsOf(const std::string &path)
{
    switch (formatOf(path)) {
    case Format::kObj:
        return {companionPath(path, ".mtl"), companionPath(path, "-surfaces.mtl")};
    case Format::kGltf:
        return {companionPath(path, ".bin")};
    case Format::kPly:
    case Format::kGlb:
    case Format::kCsv:
        break;
    }
    return {};
}

std::string outputNameProblem(const std::string &path)
{
    if (formatOf(path) != Format::kObj)
        return {};
    const std::string library = host::fileNameOf(companionPath(path, ".mtl"));
    const auto unreadable = [](unsigned char c) { return c <= ' ' || c == '#' || c == 0x7F; };
    if (std::none_of(library.begin(), library.end(), unreadable))
        return {};
    std::string shown; // control characters as \xHH
    for (const unsigned char c : excerpt(library, 200)) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, c < ' ' || c == 0x7F ? "\\x%02X" : "%c", c);
        shown += escaped;
    }
    return "its material library would be \"" + shown +
           "\", which an OBJ file's mtllib line cannot name (readers end a name at a space and take '#' for a "
           "comment): choose a name without spaces, '#' or control characters";
}

ReadWarnings readMesh(const std::string &path, host::Object &object, int layer, UpAxis up,
                      std::vector<std::string> *companions)
{
    const Format format = formatOf(path);
    const host::Layer *existing = object.findLayer(layer);
    const std::size_t firstPoint = existing != nullptr ? existing->mesh.pointCount() : 0;
    ReadWarnings warnings = readByFormat(path, format, object, layer, companions);
    const bool gltf = format == Format::kGlb || format == Format::kGltf; // Y-up by definition
    if (up == UpAxis::kZ && !gltf)
        turnFromZUp(object.layer(layer)->mesh.flat(), firstPoint);
    return warnings;
}

WrittenCounts writeMesh(OutputSet &outputs, const std::string &path, const host::Object &object,
                        const WriteOptions &options)
{
    const std::vector<const host::Layer *> chosen = chosenLayers(object, options.layers);
    checkMaps(path, object, chosen);
    if (!options.uvMap.empty() && object.findMapKey(MH_MAP_UV, options.uvMap) < 0)
        throw MeshIoError("cannot write " + path + ": the object has no UV map \"" + options.uvMap + "\"");
    const Format format = formatOf(path);
    // PLY and OBJ write whatever numbers they are given, so their points are checked on
    // the side while they write (where the disk sets the pace, at no cost), and the
    // files are never put in place when a point fails. glTF lays points out by where
    // they are and CSV reads placements: for them the check comes first.
    if (format != Format::kPly && format != Format::kObj) {
        checkPositions(path, chosen);
        return writeByFormat(outputs, path, format, chosen, object, options);
    }
    std::future<void> checked;
    try {
        checked = std::async(std::launch::async, [&] { checkPositions(path, chosen); });
    } catch (const std::system_error &) { // no thread to be had: checked first, then
        checkPositions(path, chosen);
    }
    // A check that has failed stops the writing at its next progress report, with its message.
    WriteOptions stoppable = options;
    stoppable.progress = [&checked, report = options.progress](std::uint64_t done, std::uint64_t total) {
        if (checked.valid() && checked.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            checked.get();
        if (report)
            report(done, total);
    };
    WrittenCounts written;
    try {
        written = writeByFormat(outputs, path, format, chosen, object, stoppable);
    } catch (...) {
        if (checked.valid())
            checked.get(); // the check's own message, when it failed
        throw;
    }
    if (checked.valid())
        checked.get();
    return written;
}

WrittenCounts writeMesh(const std::string &path, const host::Object &object, const WriteOptions &options)
{
    OutputSet outputs;
    WrittenCounts written = writeMesh(outputs, path, object, options);
    outputs.commit();
    return written;
}

WrittenCounts writeMesh(const std::string &path, const host::Object &object, LayerChoice layers, PlyEncoding encoding,
                        const WriteProgress &progress)
{
    WriteOptions options;
    options.layers = layers;
    options.plyEncoding = encoding;
    options.progress = progress;
    return writeMesh(path, object, options);
}

} // namespace tuft::meshio
