// PLY output, binary little-endian or ASCII: double positions, float weight maps, the UV
// channel as s and t, normals as nx, ny and nz, blades' colours as red, green and blue
// bytes; faces as vertex_indices lists with a
// material_index into a "material" element of diffuse colours, each material named on a
// header comment ("comment material 1 Grass"). PLY keeps values per vertex only, so a
// point whose corners differ (a seam) is written once more for each other value it takes.
#include "host/surface_colours.h"
#include "meshio/atomic_file.h"
#include "meshio/export_layer.h"
#include "meshio/formats.h"
#include "meshio/output_set.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace tuft::meshio {

namespace {

// A value's bytes, as a little-endian file holds it (little-endian hosts only).
template <typename T> void binary(TextAppender &out, T value)
{
    out.text({reinterpret_cast<const char *>(&value), sizeof value});
}

// The maps written per vertex as weights, in the order they were made.
std::vector<std::pair<std::string, std::uint32_t>> weightMaps(const host::Object &object,
                                                              const std::vector<const host::Layer *> &layers)
{
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    for (std::size_t key = 0; key < object.mapCount(); ++key) {
        const host::MapInfo &info = object.mapInfo(static_cast<std::uint32_t>(key));
        bool used = false;
        for (const host::Layer *layer : layers)
            used |= layer->mesh.findMap(static_cast<std::uint32_t>(key)).has_value();
        if (used && info.type == MH_MAP_WEIGHT && info.dimension == 1)
            weights.emplace_back(info.name, static_cast<std::uint32_t>(key));
    }
    return weights;
}

// The surfaces the faces are on, as the file's materials: their names and colours, and
// each surface's material number.
struct Materials {
    std::vector<std::string> names;
    std::vector<std::array<std::uint8_t, 3>> colours;
    std::vector<std::uint32_t> numberOf; // by surface index
    int indexBytes = 1;                  // of a face's material_index: 1, 2 or 4
};

Materials materialsOf(const host::Object &object, const std::vector<const host::Layer *> &layers,
                      const std::vector<std::string> &plantedSurfaces)
{
    Materials materials;
    materials.numberOf.assign(object.surfaceCount(), 0);
    const std::vector<std::string> fileNames = surfaceFileNames(object);
    for (std::uint32_t surface : usedSurfaces(object, layers)) {
        materials.numberOf[surface] = static_cast<std::uint32_t>(materials.names.size());
        std::string name = fileNames[surface];
        std::replace_if(
            name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
        materials.names.push_back(name);
        const float *rgb = host::surfaceColour(object, surface, plantedSurfaces);
        std::array<std::uint8_t, 3> colour{};
        for (int i = 0; i < 3; ++i)
            colour[i] = static_cast<std::uint8_t>(std::lround(std::clamp(rgb[i], 0.0f, 1.0f) * 255));
        materials.colours.push_back(colour);
    }
    const std::size_t count = materials.names.size();
    materials.indexBytes = count <= 256 ? 1 : count <= 65536 ? 2 : 4;
    return materials;
}

struct Layout {
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    FileChannels channels;
    Materials materials;
};

// A layer and its vertices: its points, then a copy of a point for each other value its
// corners take.
struct LayerVertices {
    ExportLayer layer;
    VertexTable vertexTable;
};

// How many floats a vertex has after its position.
std::size_t extrasWidth(const Layout &layout)
{
    return layout.weights.size() + (layout.channels.uvs ? 2 : 0) + (layout.channels.normals ? 3 : 0);
}

// The floats after the positions of vertices [first, end), extrasWidth() a vertex:
// weights, then s and t, then nx, ny and nz. Where vertex i is point i they are read a
// map at a time over the range.
void extrasOf(const LayerVertices &layer, const Layout &layout, std::size_t first, std::size_t end,
              std::vector<float> &extras)
{
    const std::size_t width = extrasWidth(layout);
    extras.assign((end - first) * width, 0.0f);
    if (width == 0)
        return;
    const host::LayerMesh &mesh = layer.layer.mesh();
    const VertexTable &table = layer.vertexTable;
    const std::size_t uvColumn = layout.weights.size(), normalColumn = uvColumn + (layout.channels.uvs ? 2 : 0);
    const auto put = [&](std::size_t vertex, std::size_t column, const float *value, std::size_t count) {
        if (value != nullptr)
            std::copy_n(value, count, &extras[(vertex - first) * width + column]);
    };
    const auto putNormal = [&](std::size_t vertex, const float *n) {
        const float none[3] = {0.0f, 0.0f, 0.0f};
        const std::array<float, 3> d = layer.layer.direction(n != nullptr ? n : none);
        put(vertex, normalColumn, d.data(), 3);
    };
    if (table.welded()) {
        for (std::size_t v = first; v < end; ++v) {
            const std::uint32_t point = table.pointOf(v);
            for (std::size_t w = 0; w < layout.weights.size(); ++w)
                put(v, w, mesh.pointValue(layout.weights[w].second, point), 1);
            const CornerValues &values = table.valuesOf(v);
            if (layout.channels.uvs)
                put(v, uvColumn, &values[0], 2);
            if (layout.channels.normals)
                putNormal(v, &values[2]);
        }
        return;
    }
    const std::size_t firstPoint = table.pointOf(first), shift = firstPoint - first; // vertex = point - shift
    const std::size_t endPoint = firstPoint + (end - first);
    for (std::size_t w = 0; w < layout.weights.size(); ++w)
        mesh.forPointValues(layout.weights[w].second, firstPoint, endPoint,
                            [&](std::size_t point, const float *value) { put(point - shift, w, value, 1); });
    if (layout.channels.uvs)
        layer.layer.forPointUvs(firstPoint, endPoint,
                                [&](std::size_t point, const float *uv) { put(point - shift, uvColumn, uv, 2); });
    if (layout.channels.normals)
        for (std::size_t point = firstPoint; point < endPoint; ++point)
            putNormal(point - shift, layer.layer.pointNormal(static_cast<std::uint32_t>(point)));
}

// Vertices and faces formatted in chunks on every core, written in order.
void writeBinaryBody(AtomicFile &file, ProgressCount &progress, const std::vector<LayerVertices> &layers,
                     const Layout &layout, bool byteCounts)
{
    for (const LayerVertices &layer : layers) {
        const std::size_t width = extrasWidth(layout);
        const auto formatVertices = [&](std::size_t first, std::size_t end, TextAppender &out) {
            std::vector<float> extras;
            extrasOf(layer, layout, first, end, extras);
            const auto vertex = [&](std::size_t i, const host::Vec3 &p) {
                binary(out, p.x);
                binary(out, p.y);
                binary(out, p.z);
                if (width > 0)
                    out.text({reinterpret_cast<const char *>(&extras[(i - first) * width]), width * sizeof(float)});
                if (layout.channels.colours) {
                    const Rgb rgb = layer.layer.colourOf(layer.vertexTable.pointOf(i));
                    out.text({reinterpret_cast<const char *>(rgb.data()), rgb.size()});
                }
            };
            if (!layer.vertexTable.welded()) // vertex i is point i
                layer.layer.mesh().forPositions(
                    first, end, [&](std::size_t i, const host::Vec3 &p) { vertex(i, layer.layer.inFile(p)); });
            else
                for (std::size_t i = first; i < end; ++i)
                    vertex(i, layer.layer.position(layer.vertexTable.pointOf(i)));
        };
        writeInChunks(file, progress, layer.vertexTable.count(), formatVertices);
    }
    std::uint32_t base = 0;
    for (const LayerVertices &layer : layers) {
        const auto formatFaces = [&](std::size_t first, std::size_t end, TextAppender &out) {
            layer.layer.mesh().forPolygons(
                first, end, [&](std::size_t, const host::Polygon &polygon, const host::PolygonPoints &points) {
                    if (byteCounts)
                        binary(out, static_cast<std::uint8_t>(polygon.vertexCount));
                    else
                        binary(out, polygon.vertexCount);
                    for (std::uint32_t k = 0; k < polygon.vertexCount; ++k)
                        binary(out, base + layer.vertexTable.vertexOf(polygon.firstVertex + k, points[k]));
                    const std::uint32_t material = layout.materials.numberOf[polygon.surface];
                    if (layout.materials.indexBytes == 1)
                        binary(out, static_cast<std::uint8_t>(material));
                    else if (layout.materials.indexBytes == 2)
                        binary(out, static_cast<std::uint16_t>(material));
                    else
                        binary(out, material);
                });
        };
        writeInChunks(file, progress, layer.layer.mesh().polygonCount(), formatFaces);
        base += static_cast<std::uint32_t>(layer.vertexTable.count());
    }
    for (const auto &colour : layout.materials.colours)
        file.write(reinterpret_cast<const char *>(colour.data()), colour.size());
}

// Text lines formatted on every core, in order.
void writeAsciiBody(AtomicFile &file, ProgressCount &progress, const std::vector<LayerVertices> &layers,
                    const Layout &layout)
{
    for (const LayerVertices &layer : layers) {
        const std::size_t width = extrasWidth(layout);
        const auto formatPoints = [&](std::size_t first, std::size_t end, TextAppender &out) {
            std::vector<float> extras;
            extrasOf(layer, layout, first, end, extras);
            NumberMemo<double> xs, ys, zs;
            std::vector<NumberMemo<double>> extraMemos(layout.weights.size() + 5);
            for (std::size_t i = first; i < end; ++i) {
                const host::Vec3 p = layer.layer.position(layer.vertexTable.pointOf(i));
                out.number(p.x, xs);
                out.character(' ');
                out.number(p.y, ys);
                out.character(' ');
                out.number(p.z, zs);
                for (std::size_t k = 0; k < width; ++k) {
                    out.character(' ');
                    // as ASCII files always had them
                    out.number(static_cast<double>(extras[(i - first) * width + k]), extraMemos[k]);
                }
                if (layout.channels.colours)
                    for (const std::uint8_t c : layer.layer.colourOf(layer.vertexTable.pointOf(i))) {
                        out.character(' ');
                        out.number(c);
                    }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, layer.vertexTable.count(), formatPoints);
    }
    std::uint64_t base = 0;
    for (const LayerVertices &layer : layers) {
        const host::LayerMesh &mesh = layer.layer.mesh();
        const auto formatFaces = [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const host::Polygon polygon = mesh.polygon(i);
                out.number(polygon.vertexCount);
                for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                    const std::size_t slot = polygon.firstVertex + k;
                    out.character(' ');
                    out.number(base + layer.vertexTable.vertexOf(slot, mesh.cornerPoint(slot)));
                }
                out.character(' ');
                out.number(layout.materials.numberOf[polygon.surface]);
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.polygonCount(), formatFaces);
        base += layer.vertexTable.count();
    }
    std::string colours;
    for (const auto &colour : layout.materials.colours)
        colours += std::to_string(colour[0]) + " " + std::to_string(colour[1]) + " " + std::to_string(colour[2]) + "\n";
    file.write(colours.data(), colours.size());
}

std::string headerOf(const Layout &layout, bool ascii, std::size_t vertices, std::size_t faces, bool byteCounts)
{
    std::string header = "ply\nformat ";
    header += ascii ? "ascii 1.0\n" : "binary_little_endian 1.0\n";
    header += "comment planted by tuftsprout\n";
    const Materials &materials = layout.materials;
    for (std::size_t m = 0; m < materials.names.size(); ++m)
        header += "comment material " + std::to_string(m) + " " + materials.names[m] + "\n";
    header += "element vertex " + std::to_string(vertices) + "\n";
    header += "property double x\nproperty double y\nproperty double z\n";
    for (const auto &weight : layout.weights)
        header += "property float " + oneWord(weight.first, "unnamed") + "\n";
    if (layout.channels.uvs)
        header += "property float s\nproperty float t\n";
    if (layout.channels.normals)
        header += "property float nx\nproperty float ny\nproperty float nz\n";
    if (layout.channels.colours)
        header += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
    header += "element face " + std::to_string(faces) + "\n";
    // Vertex counts fit a byte in nearly every mesh; the rare larger polygon needs more.
    header += byteCounts ? "property list uchar uint vertex_indices\n" : "property list uint uint vertex_indices\n";
    if (!materials.names.empty()) {
        const char *indexType = materials.indexBytes == 1 ? "uchar" : materials.indexBytes == 2 ? "ushort" : "uint";
        header += std::string("property ") + indexType + " material_index\n";
        header += "element material " + std::to_string(materials.names.size()) + "\n";
        header += "property uchar diffuse_red\nproperty uchar diffuse_green\nproperty uchar diffuse_blue\n";
    }
    return header + "end_header\n";
}

} // namespace

WrittenCounts writePly(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteOptions &options)
{
    const Layout layout{weightMaps(object, layers), fileChannels(object, layers, options),
                        materialsOf(object, layers, options.plantedSurfaces)};
    WrittenCounts counts;
    std::vector<LayerVertices> vertices;
    vertices.reserve(layers.size());
    std::size_t vertexCount = 0;
    std::uint32_t largestPolygon = 0;
    for (const host::Layer *layer : layers) {
        ExportLayer exported(object, *layer, options, layout.channels, options.up, counts.warnings);
        VertexTable table = exported.pointsFirst();
        vertices.push_back({std::move(exported), std::move(table)});
        vertexCount += vertices.back().vertexTable.count();
        counts.points += layer->mesh.pointCount();
        counts.polygons += layer->mesh.polygonCount();
        for (const host::LayerMesh::Piece &piece : layer->mesh.pieces()) {
            const host::Mesh &mesh = piece.mesh ? *piece.mesh : *piece.run->blade; // a blade: once for all
            for (std::size_t p = 0; p < mesh.polygonCount() && piece.polygons() > 0; ++p)
                largestPolygon = std::max(largestPolygon, mesh.polygon(p).vertexCount);
        }
    }
    const bool byteCounts = largestPolygon <= 255;
    const bool ascii = options.plyEncoding == PlyEncoding::kAscii;
    AtomicFile &file = outputs.add(path);
    const std::string header = headerOf(layout, ascii, vertexCount, counts.polygons, byteCounts);
    file.write(header.data(), header.size());
    ProgressCount progress(options.progress, vertexCount + counts.polygons);
    if (ascii)
        writeAsciiBody(file, progress, vertices, layout);
    else
        writeBinaryBody(file, progress, vertices, layout, byteCounts);
    file.complete();
    return counts;
}

} // namespace tuft::meshio
