// glTF 2.0 output, binary (.glb) or JSON with a .bin beside it (.gltf): a node and a
// mesh per written layer and object name (the polygons' host::kObjectTag, a glTF node's
// name as read), a primitive and a material per surface (a material read from glTF as
// it was read, its texture's image embedded after the primitives' data), polygons as
// triangle fans in their own vertex order. Asked for, runs of instances whose placements
// glTF can say are written as their blade once and a node drawing it at every placement
// (EXT_mesh_gpu_instancing), each placement numbered in planting order (_ID), a node for
// each cell of the ground when asked. Blades coloured one by one carry COLOR_0 (linear),
// or _COLOR_0 on their placements, over a white material. A .glb's JSON is written
// first, then the binary data is streamed straight into the file in the order its views
// lie, formatted on every core; a .gltf's data goes into .bin files of at most 2 GiB each
// (a view larger than that alone in one), then its JSON.
#include "host/paths.h"
#include "meshio/atomic_file.h"
#include "meshio/export_layer.h"
#include "meshio/formats.h"
#include "meshio/gltf_cells.h"
#include "meshio/gltf_instances.h"
#include "meshio/gltf_layout.h"
#include "meshio/gltf_materials.h"
#include "meshio/output_set.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>

namespace tuft::meshio {

namespace {

using gltf::Layout;
using gltf::ViewFiles;
using Json = nlohmann::ordered_json;

constexpr std::uint32_t kFloat = 5126, kUnsignedShort = 5123, kUnsignedInt = 5125;
constexpr std::uint32_t kArrayBuffer = 34962, kElementArrayBuffer = 34963;
constexpr std::size_t kItemsPerChunk = std::size_t(1) << 16;
// Nodes of instances a file holds at most: each is a JSON object of its own, and an engine
// draws each by a call of its own.
constexpr std::size_t kMostInstancedNodes = 100000;

std::string numberText(double value)
{
    char text[kNumberTextMax];
    return std::string(text, writeNumber(text, value));
}

// A layer's surface parts, each a primitive; or a blade's, drawn at every placement of its
// run by the nodes of `drawing`.
struct LayerParts {
    ExportLayer layer;
    std::vector<SurfacePart> parts;
    std::optional<gltf::InstancedRun> instances;
    gltf::InstanceNodes drawing;
    const BladeColours *colours; // the layer's blades', for the placements; null for none
};

// A colour as glTF holds it: linear, 0 to 1.
std::array<float, 3> gltfColour(const Rgb &srgb)
{
    return {static_cast<float>(linearOf(srgb[0])), static_cast<float>(linearOf(srgb[1])),
            static_cast<float>(linearOf(srgb[2]))};
}

// _ID as floats while they hold every number exactly, else as unsigned ints.
bool wideIds(const gltf::InstancedRun &instanced)
{
    return instanced.firstId + instanced.run->count > (std::size_t(1) << 24);
}

bool wideIndices(const SurfacePart &part) { return part.vertexTable.count() > 65535; }

Json describePrimitive(const SurfacePart &primitive, const FileChannels &channels, Layout &layout,
                       gltf::MaterialsOut &materials)
{
    Json attributes;
    const std::size_t vertices = primitive.vertexTable.count();
    attributes["POSITION"] = layout.accessor(layout.view(12 * vertices, kArrayBuffer), kFloat, vertices, "VEC3");
    const float *low = primitive.bounds.low, *high = primitive.bounds.high;
    layout.lastAccessor()["min"] = {low[0], low[1], low[2]};
    layout.lastAccessor()["max"] = {high[0], high[1], high[2]};
    if (channels.normals)
        attributes["NORMAL"] = layout.accessor(layout.view(12 * vertices, kArrayBuffer), kFloat, vertices, "VEC3");
    if (channels.uvs)
        attributes["TEXCOORD_0"] = layout.accessor(layout.view(8 * vertices, kArrayBuffer), kFloat, vertices, "VEC2");
    if (channels.colours)
        attributes["COLOR_0"] = layout.accessor(layout.view(12 * vertices, kArrayBuffer), kFloat, vertices, "VEC3");
    const std::size_t indexBytes = wideIndices(primitive) ? 4 : 2;
    const std::size_t indices =
        layout.accessor(layout.view(indexBytes * 3 * primitive.triangles, kElementArrayBuffer),
                        wideIndices(primitive) ? kUnsignedInt : kUnsignedShort, 3 * primitive.triangles, "SCALAR");
    return {
        {"attributes", attributes}, {"indices", indices}, {"material", materials.of(primitive.surface)}, {"mode", 4}};
}

// The accessors of a node's placements, as its EXT_mesh_gpu_instancing names them; the
// translations' box exact, for culling.
Json describeInstances(const gltf::InstancedRun &instanced, const gltf::InstanceNode &node, bool coloured,
                       Layout &layout)
{
    const std::size_t n = node.end - node.begin;
    Json attributes;
    attributes["TRANSLATION"] = layout.accessor(layout.view(12 * n, 0), kFloat, n, "VEC3");
    layout.lastAccessor()["min"] = {node.low[0], node.low[1], node.low[2]};
    layout.lastAccessor()["max"] = {node.high[0], node.high[1], node.high[2]};
    attributes["ROTATION"] = layout.accessor(layout.view(16 * n, 0), kFloat, n, "VEC4");
    attributes["SCALE"] = layout.accessor(layout.view(12 * n, 0), kFloat, n, "VEC3");
    attributes["_ID"] = layout.accessor(layout.view(4 * n, 0), wideIds(instanced) ? kUnsignedInt : kFloat, n, "SCALAR");
    if (coloured)
        attributes["_COLOR_0"] = layout.accessor(layout.view(12 * n, 0), kFloat, n, "VEC3");
    return {{gltf::kInstancing, {{"attributes", attributes}}}};
}

// The file's JSON, its binary data laid out in `layout`; the images `materials` embeds lie
// after the primitives' data. `binPath(buffer)` names a .gltf's buffers, empty for a .glb.
Json describe(const host::Object &object, const std::vector<LayerParts> &layers, const WriteOptions &options,
              const FileChannels &channels, gltf::MaterialsOut &materials,
              const std::function<std::string(std::size_t buffer)> &binPath, Layout &layout)
{
    Json meshes = Json::array(), nodes = Json::array();
    bool instanced = false;
    for (const LayerParts &layer : layers) {
        // A node and mesh for each object name, the polygons of none under the layer's.
        const std::size_t firstNode = nodes.size();
        const std::vector<SurfacePart> &parts = layer.parts;
        for (std::size_t first = 0, end = 0; first < parts.size(); first = end) {
            Json primitives = Json::array();
            for (; end < parts.size() && parts[end].objectName == parts[first].objectName; ++end)
                primitives.push_back(describePrimitive(parts[end], channels, layout, materials));
            const std::string name = parts[first].objectName != 0
                                         ? object.tagName(parts[first].objectName)
                                         : "Layer " + std::to_string(layer.layer.layer().number);
            meshes.push_back({{"name", name}, {"primitives", primitives}});
            nodes.push_back({{"name", name}, {"mesh", meshes.size() - 1}});
        }
        if (layer.instances && !parts.empty()) { // the blade's nodes again for each node of placements
            const Json drawing(nodes.begin() + static_cast<std::ptrdiff_t>(firstNode), nodes.end());
            nodes.erase(nodes.begin() + static_cast<std::ptrdiff_t>(firstNode), nodes.end());
            for (const gltf::InstanceNode &placements : layer.drawing.nodes) {
                const Json extension =
                    describeInstances(*layer.instances, placements, layer.colours != nullptr, layout);
                for (Json node : drawing) {
                    if (placements.celled)
                        node["name"] = node["name"].get<std::string>() + " cell " + std::to_string(placements.cellX) +
                                       "," + std::to_string(placements.cellZ);
                    node["extensions"] = extension;
                    nodes.push_back(std::move(node));
                }
            }
            instanced = true;
        }
    }
    Json asset = {{"version", "2.0"}, {"generator", options.generator.empty() ? "tuftsprout" : options.generator}};
    if (!options.provenance.empty()) {
        Json made;
        for (const auto &[key, value] : options.provenance)
            made[key] = value;
        asset["extras"] = {{"tuftsprout", made}};
    }
    Json gltf = {{"asset", asset}};
    if (instanced) { // a reader without it would draw one blade at the origin
        gltf["extensionsUsed"] = Json::array({gltf::kInstancing});
        gltf["extensionsRequired"] = Json::array({gltf::kInstancing});
    }
    Json scene = Json::object();
    if (!nodes.empty()) {
        Json roots = Json::array();
        for (std::size_t n = 0; n < nodes.size(); ++n)
            roots.push_back(n);
        scene["nodes"] = roots;
    }
    gltf["scene"] = 0;
    gltf["scenes"] = Json::array({scene});
    if (!nodes.empty()) {
        gltf["nodes"] = nodes;
        gltf["meshes"] = meshes;
        materials.addTo(gltf, [&layout](std::size_t bytes) { return layout.view(bytes, 0); });
        gltf["accessors"] = layout.accessors();
        gltf["bufferViews"] = layout.views();
        Json buffers = Json::array();
        for (std::size_t b = 0; b < layout.lengths().size(); ++b) {
            buffers.push_back({{"byteLength", layout.lengths()[b]}});
            if (const std::string path = binPath(b); !path.empty())
                buffers.back()["uri"] = uriOf(host::fileNameOf(path));
        }
        gltf["buffers"] = buffers;
    }
    return gltf;
}

// Parts of one object name next to one another (a node's primitives), names in the order
// of their first part, each name's parts in their own order.
void groupByObjectName(std::vector<SurfacePart> &parts)
{
    std::map<std::uint32_t, std::size_t> rank;
    for (const SurfacePart &part : parts)
        rank.emplace(part.objectName, rank.size());
    std::stable_sort(parts.begin(), parts.end(), [&rank](const SurfacePart &a, const SurfacePart &b) {
        return rank.at(a.objectName) < rank.at(b.objectName);
    });
}

// Streams the binary data, view after view as describe() lays them out, each padded to
// four bytes.
class BinaryWriter {
public:
    BinaryWriter(ViewFiles &files, ProgressCount &progress, const FileChannels &channels)
        : files_(files), progress_(progress), channels_(channels)
    {
    }

    void primitive(const ExportLayer &layer, const SurfacePart &primitive)
    {
        const VertexTable &table = primitive.vertexTable;
        itemRanges(table.count(), 12, [&](std::size_t first, std::size_t end, const auto &add) {
            const auto put = [&](const host::Vec3 &p) {
                const float xyz[3] = {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
                add(xyz);
            };
            if (table.welded()) {
                for (std::size_t v = first; v < end; ++v)
                    put(layer.position(table.pointOf(v)));
            } else { // vertex v stands on point pointOf(0) + v
                layer.mesh().forPositions(table.pointOf(first), table.pointOf(first) + (end - first),
                                          [&](std::size_t, const host::Vec3 &p) { put(layer.inFile(p)); });
            }
        });
        if (channels_.normals)
            items(table.count(), 12, [&](std::size_t v, char *out) {
                const float *n = table.welded() ? &table.valuesOf(v)[2] : layer.pointNormal(table.pointOf(v));
                const float up[3] = {0.0f, 1.0f, 0.0f};
                std::memcpy(out, n != nullptr ? n : up, 12);
            });
        if (channels_.uvs)
            itemRanges(table.count(), 8, [&](std::size_t first, std::size_t end, const auto &add) {
                const auto put = [&](const float *uv) {
                    const float st[2] = {uv != nullptr ? uv[0] : 0.0f,
                                         uv != nullptr ? 1.0f - uv[1] : 1.0f}; // V runs down
                    add(st);
                };
                if (table.welded()) {
                    for (std::size_t v = first; v < end; ++v)
                        put(&table.valuesOf(v)[0]);
                } else {
                    layer.forPointUvs(table.pointOf(first), table.pointOf(first) + (end - first),
                                      [&](std::size_t, const float *uv) { put(uv); });
                }
            });
        if (channels_.colours)
            items(table.count(), 12, [&](std::size_t v, char *out) {
                std::memcpy(out, gltfColour(layer.colourOf(table.pointOf(v))).data(), 12);
            });
        indices(layer.mesh(), primitive);
    }

    // A node's placements, view after view as describeInstances() lays them out.
    void instances(const gltf::InstancedRun &instanced, const gltf::InstanceNodes &drawing,
                   const gltf::InstanceNode &node, const BladeColours *colours)
    {
        const host::InstanceRun &run = *instanced.run;
        const std::size_t n = node.end - node.begin;
        const auto placement = [&](std::size_t k) { return drawing.placement(node.begin + k); };
        items(n, 12,
              [&](std::size_t k, char *out) { std::memcpy(out, gltf::translationOf(run, placement(k)).data(), 12); });
        items(n, 16,
              [&](std::size_t k, char *out) { std::memcpy(out, gltf::rotationOf(run, placement(k)).data(), 16); });
        items(n, 12, [&](std::size_t k, char *out) { std::memcpy(out, gltf::scaleOf(run, placement(k)).data(), 12); });
        const bool wide = wideIds(instanced);
        items(n, 4, [&](std::size_t k, char *out) {
            const std::size_t id = instanced.firstId + drawing.placement(node.begin + k);
            const std::uint32_t whole = static_cast<std::uint32_t>(id);
            const float number = static_cast<float>(id);
            std::memcpy(out, wide ? static_cast<const void *>(&whole) : &number, 4);
        });
        if (colours != nullptr)
            items(n, 12, [&](std::size_t k, char *out) {
                const std::size_t point = instanced.firstPoint + placement(k) * run.blade->pointCount();
                std::memcpy(out, gltfColour(colours->ofPoint(point)).data(), 12);
            });
    }

    // Bytes as they are (an image's).
    void bytes(std::string_view data)
    {
        AtomicFile &file = files_.next();
        file.write(data.data(), data.size());
        pad(file, data.size());
    }

private:
    // `count` items of `size` bytes each, `put(first, end, add)` making those of
    // [first, end) in order with add(bytes) for each.
    template <typename Put> void itemRanges(std::size_t count, std::size_t size, const Put &put)
    {
        AtomicFile &file = files_.next();
        formatInChunks(
            count, kItemsPerChunk,
            [&](std::size_t first, std::size_t end, TextAppender &out) {
                put(first, end, [&](const void *bytes) { out.text({static_cast<const char *>(bytes), size}); });
            },
            [&](std::string_view data, std::size_t items) { written(file, data, items); });
        pad(file, count * size);
    }
    // `put(item, bytes)` making one.
    template <typename Put> void items(std::size_t count, std::size_t size, const Put &put)
    {
        itemRanges(count, size, [&](std::size_t first, std::size_t end, const auto &add) {
            char bytes[16];
            for (std::size_t v = first; v < end; ++v) {
                put(v, bytes);
                add(bytes);
            }
        });
    }

    void indices(const host::LayerMesh &mesh, const SurfacePart &primitive)
    {
        AtomicFile &file = files_.next();
        const std::size_t size = wideIndices(primitive) ? 4 : 2;
        // Each polygon's first corner among the part's corners.
        std::vector<std::size_t> firstCorner;
        if (primitive.vertexTable.welded()) {
            std::size_t corner = 0;
            for (std::uint32_t p : primitive.polygonNumbers) {
                firstCorner.push_back(corner);
                corner += mesh.polygon(p).vertexCount;
            }
        }
        // A polygon's triangles: a fan from its first corner, in the polygon's own order.
        const auto triangles = [&](TextAppender &out, std::size_t i, const host::Polygon &polygon,
                                   const host::PolygonPoints &points) {
            const auto vertexOf = [&](std::uint32_t k) -> std::uint32_t {
                const std::size_t corner = firstCorner.empty() ? 0 : firstCorner[i] + k;
                return primitive.vertexTable.vertexOf(corner, points[k]);
            };
            for (std::uint32_t k = 1; k + 1 < polygon.vertexCount; ++k) {
                const std::uint32_t triangle[3] = {vertexOf(0), vertexOf(k), vertexOf(k + 1)};
                for (const std::uint32_t index : triangle) {
                    const std::uint16_t narrow = static_cast<std::uint16_t>(index);
                    out.text(size == 4 ? std::string_view(reinterpret_cast<const char *>(&index), 4)
                                       : std::string_view(reinterpret_cast<const char *>(&narrow), 2));
                }
            }
        };
        formatInChunks(
            primitive.polygonNumbers.size(), kItemsPerChunk,
            [&](std::size_t first, std::size_t end, TextAppender &out) {
                std::size_t i = first;
                forPartPolygons(mesh, primitive, first, end,
                                [&](std::size_t, const host::Polygon &polygon, const host::PolygonPoints &points) {
                                    triangles(out, i++, polygon, points);
                                });
            },
            [&](std::string_view data, std::size_t items) { written(file, data, items); });
        pad(file, 3 * primitive.triangles * size);
    }

    void written(AtomicFile &file, std::string_view data, std::size_t items)
    {
        file.write(data.data(), data.size());
        progress_.add(items);
    }

    static void pad(AtomicFile &file, std::size_t bytes)
    {
        static const char kZeros[4] = {0, 0, 0, 0};
        file.write(kZeros, (4 - bytes % 4) % 4);
    }

    ViewFiles &files_;
    ProgressCount &progress_;
    const FileChannels &channels_;
};

void writeChunkHeader(AtomicFile &file, std::uint32_t length, const char (&type)[5])
{
    file.write(reinterpret_cast<const char *>(&length), 4);
    file.write(type, 4);
}

} // namespace

WrittenCounts writeGltf(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &chosen,
                        const host::Object &object, const WriteOptions &options, bool binary)
{
    WrittenCounts counts;
    const FileChannels file = fileChannels(object, chosen, options);
    std::vector<LayerParts> layers;
    std::deque<host::Layer> apart; // the layers split for instances, kept while they are written
    std::size_t skipped = 0, items = 0, instancedNodes = 0;
    // `colours` gives a point of `layer` its colour; `bladeColours` the placements theirs.
    const auto add = [&](const host::Layer &layer, std::optional<gltf::InstancedRun> instances,
                         std::function<Rgb(std::uint32_t)> colours, const BladeColours *bladeColours) {
        ExportLayer exported(object, layer, options, file, UpAxis::kY, counts.warnings); // glTF is Y-up
        exported.setColours(std::move(colours));
        std::vector<SurfacePart> parts = exported.surfaceParts(skipped);
        groupByObjectName(parts);
        gltf::InstanceNodes drawing;
        if (instances && !parts.empty()) {
            drawing = gltf::instanceNodes(*instances->run, options.cell);
            items += 4 * instances->run->count;
            instancedNodes += drawing.nodes.size();
            if (instancedNodes > kMostInstancedNodes) // cells far smaller than the grass's spread
                throw MeshIoError(
                    "cannot write " + path + ": " +
                    (options.cell > 0 ? "cells of side " + numberText(options.cell) + " would draw" : "would draw") +
                    " the blades by " + std::to_string(instancedNodes) + " nodes or more, past the " +
                    std::to_string(kMostInstancedNodes) + " a file may hold; " +
                    (options.cell > 0 ? "choose larger cells" : "write it without --instances"));
        }
        if (instances && bladeColours != nullptr)
            items += instances->run->count;
        layers.push_back({std::move(exported), std::move(parts), instances, std::move(drawing), bladeColours});
        for (const SurfacePart &part : layers.back().parts)
            items +=
                part.vertexTable.count() * (1 + file.uvs + file.normals + file.colours) + part.polygonNumbers.size();
    };
    for (const host::Layer *layer : chosen) {
        counts.points += layer->mesh.pointCount();
        counts.polygons += layer->mesh.polygonCount();
        const BladeColours *colours = file.colours ? bladeColoursOf(options.colours, layer->number) : nullptr;
        const auto colourOf = [colours](std::uint32_t point) { return colours->ofPoint(point); };
        if (!options.instances) {
            add(*layer, std::nullopt, colours ? colourOf : std::function<Rgb(std::uint32_t)>(), nullptr);
            continue;
        }
        auto split = std::make_shared<gltf::SplitLayer>(gltf::splitInstances(*layer));
        std::function<Rgb(std::uint32_t)> restColours;
        if (colours != nullptr)
            restColours = [colourOf, split](std::uint32_t point) {
                return colourOf(static_cast<std::uint32_t>(split->layerPointOf(point)));
            };
        add(apart.emplace_back(std::move(split->rest)), std::nullopt, restColours, nullptr);
        for (const gltf::InstancedRun &run : split->runs) // the blade white, its placements coloured
            add(apart.emplace_back(gltf::bladeLayer(*layer, *run.run)), run, {}, colours);
    }
    if (skipped > 0)
        counts.warnings.push_back(path + ": " + std::to_string(skipped) +
                                  " polygons of fewer than three points not written: glTF triangles cannot hold them");
    const auto bins = [&path, binary](std::size_t buffer) {
        return binary ? std::string() : gltf::binPath(path, buffer);
    };
    Layout layout(binary ? 0 : gltf::mostBinBytes());
    gltf::MaterialsOut materials(object, options.plantedSurfaces, path, binary, file.colours, counts.warnings);
    std::string json = describe(object, layers, options, file, materials, bins, layout).dump();
    ProgressCount progress(options.progress, items);
    const auto writeBinary = [&](ViewFiles &files) {
        BinaryWriter writer(files, progress, file);
        for (const LayerParts &layer : layers) {
            for (const SurfacePart &part : layer.parts)
                writer.primitive(layer.layer, part);
            if (layer.instances && !layer.parts.empty())
                for (const gltf::InstanceNode &node : layer.drawing.nodes)
                    writer.instances(*layer.instances, layer.drawing, node, layer.colours);
        }
        for (const std::string_view image : materials.embedded())
            writer.bytes(image);
    };
    if (!binary) { // the .bin files first, to be in place before the file that names them
        ViewFiles files(outputs, bins, layout);
        writeBinary(files);
        files.complete();
        AtomicFile &out = outputs.add(path);
        out.write(json.data(), json.size());
        out.complete();
        return counts;
    }
    json.append((4 - json.size() % 4) % 4, ' ');
    const std::uint64_t binaryLength = layout.lengths()[0];
    // Refused before anything is written: a .glb counts its bytes in 32 bits.
    const std::uint32_t total =
        gltf::glbLength(path, 12 + 8 + std::uint64_t(json.size()) + (binaryLength > 0 ? 8 + binaryLength : 0));
    AtomicFile &out = outputs.add(path);
    const std::uint32_t header[3] = {0x46546C67, 2, total}; // "glTF", version 2
    out.write(reinterpret_cast<const char *>(header), sizeof header);
    writeChunkHeader(out, static_cast<std::uint32_t>(json.size()), "JSON");
    out.write(json.data(), json.size());
    if (binaryLength > 0)
        writeChunkHeader(out, static_cast<std::uint32_t>(binaryLength), "BIN\0");
    ViewFiles files(out, layout);
    writeBinary(files);
    out.complete();
    return counts;
}

} // namespace tuft::meshio
