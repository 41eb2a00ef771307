// PLY output, binary little-endian or ASCII: double positions, float weight maps, the UV
// channel as s and t, normals as nx, ny and nz; faces as vertex_indices lists. PLY keeps
// values per vertex only, so a point whose corners differ (a seam) is written once more
// for each other value it takes.
#include "meshio/atomic_file.h"
#include "meshio/corner_channels.h"
#include "meshio/formats.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace tuft::meshio {

namespace {

// Everything written goes through one buffer, flushed in large blocks.
class Output {
public:
    explicit Output(AtomicFile &file) : file_(file), buffer_(new char[kBlock]) {}
    void bytes(const void *data, std::size_t size)
    {
        if (size == 0) // a vertex without maps has no extras, and no pointer to them
            return;
        if (used_ + size > kBlock) {
            flush();
            if (size > kBlock) {
                file_.write(static_cast<const char *>(data), size);
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, data, size);
        used_ += size;
    }
    template <typename T> void value(T v) { bytes(&v, sizeof v); } // little-endian hosts only
    void flush()
    {
        file_.write(buffer_.get(), used_);
        used_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    AtomicFile &file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

// The vertices of one layer: its points, each with its own UV and normal, then a copy of
// a point for each other value its corners take.
class LayerVertices {
public:
    LayerVertices(const host::Object &object, const host::Mesh &mesh, const WriteOptions &options,
                  const FileChannels &file, ReadWarnings &warnings)
        : mesh_(mesh), file_(file), corners_(object, mesh, options, file, warnings)
    {
        if (!corners_.uvSeams() && !corners_.normalSeams())
            return;
        std::unordered_map<std::string, std::uint32_t> copies;
        for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
            const host::Polygon &polygon = mesh.polygons[p];
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                const std::uint32_t point = mesh.vertices[polygon.firstVertex + k];
                float values[5];
                cornerValues(p, point, values);
                float own[5];
                pointValues(point, own);
                if (std::equal(values, values + 5, own))
                    continue;
                if (vertexOf_.empty())
                    vertexOf_.assign(mesh.vertices.size(), kPoint);
                std::string key(reinterpret_cast<const char *>(&point), sizeof point);
                key.append(reinterpret_cast<const char *>(values), sizeof values);
                const auto found = copies.emplace(key, static_cast<std::uint32_t>(copyPoint_.size()));
                if (found.second) {
                    copyPoint_.push_back(point);
                    copyValues_.insert(copyValues_.end(), values, values + 5);
                }
                vertexOf_[polygon.firstVertex + k] =
                    static_cast<std::uint32_t>(mesh.pointCount()) + found.first->second;
            }
        }
    }

    std::size_t count() const { return mesh_.pointCount() + copyPoint_.size(); }
    // The point a vertex stands on, and its UV and normal (five floats).
    std::uint32_t pointOf(std::size_t vertex) const
    {
        return vertex < mesh_.pointCount() ? static_cast<std::uint32_t>(vertex)
                                           : copyPoint_[vertex - mesh_.pointCount()];
    }
    void valuesOf(std::size_t vertex, float (&values)[5]) const
    {
        if (vertex < mesh_.pointCount())
            pointValues(static_cast<std::uint32_t>(vertex), values);
        else
            std::copy_n(&copyValues_[5 * (vertex - mesh_.pointCount())], 5, values);
    }
    // The vertex of a polygon's corner (by its place in the mesh's vertex list).
    std::uint32_t vertexOf(std::size_t slot) const
    {
        const std::uint32_t point = mesh_.vertices[slot];
        return vertexOf_.empty() || vertexOf_[slot] == kPoint ? point : vertexOf_[slot];
    }

private:
    static constexpr std::uint32_t kPoint = ~std::uint32_t(0);

    void pointValues(std::uint32_t point, float (&values)[5]) const
    {
        fill(corners_.pointUv(point), corners_.pointNormal(point), values);
    }
    void cornerValues(std::uint32_t polygon, std::uint32_t point, float (&values)[5]) const
    {
        fill(corners_.cornerUv(polygon, point), corners_.cornerNormal(polygon, point), values);
    }
    void fill(const float *uv, const float *normal, float (&values)[5]) const
    {
        std::fill_n(values, 5, 0.0f);
        if (file_.uvs && uv != nullptr)
            std::copy_n(uv, 2, values);
        if (file_.normals && normal != nullptr)
            std::copy_n(normal, 3, values + 2);
    }

    const host::Mesh &mesh_;
    const FileChannels &file_;
    const CornerChannels corners_;
    std::vector<std::uint32_t> vertexOf_; // by vertex slot; empty when every corner is its point
    std::vector<std::uint32_t> copyPoint_;
    std::vector<float> copyValues_; // five a copy
};

// The maps written per vertex as weights, in the order they were made.
std::vector<std::pair<std::string, std::uint32_t>> weightMaps(const host::Object &object,
                                                              const std::vector<const host::Layer *> &layers)
{
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    for (std::size_t key = 0; key < object.mapCount(); ++key) {
        const host::MapInfo &info = object.mapInfo(static_cast<std::uint32_t>(key));
        bool used = false;
        for (const host::Layer *layer : layers)
            used |= layer->mesh.findMap(static_cast<std::uint32_t>(key)) != nullptr;
        if (used && info.type == MH_MAP_WEIGHT && info.dimension == 1)
            weights.emplace_back(info.name, static_cast<std::uint32_t>(key));
    }
    return weights;
}

struct Layout {
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    FileChannels channels;
    bool zUp;
};

// A vertex's floats after its position: weights, then s and t, then nx, ny and nz.
void extrasOf(const host::Mesh &mesh, const Layout &layout, const LayerVertices &vertices, std::size_t vertex,
              std::vector<float> &extra)
{
    extra.clear();
    const std::uint32_t point = vertices.pointOf(vertex);
    for (const auto &weight : layout.weights) {
        const host::PointMap *map = mesh.findMap(weight.second);
        extra.push_back(map != nullptr && map->has[point] ? map->values[point] : 0.0f);
    }
    if (!layout.channels.uvs && !layout.channels.normals)
        return;
    float values[5];
    vertices.valuesOf(vertex, values);
    if (layout.channels.uvs)
        extra.insert(extra.end(), values, values + 2);
    if (layout.channels.normals) {
        const float *n = values + 2;
        const float turned[3] = {n[0], -n[2], n[1]};
        extra.insert(extra.end(), layout.zUp ? turned : n, (layout.zUp ? turned : n) + 3);
    }
}

host::Vec3 filePosition(host::Vec3 p, bool zUp) { return zUp ? host::Vec3{p.x, -p.z, p.y} : p; }

void writeBinaryBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                     const std::vector<LayerVertices> &vertices, const Layout &layout, bool byteCounts)
{
    Output out(file);
    std::vector<float> extra;
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const host::Mesh &mesh = layers[l]->mesh;
        const std::size_t count = vertices[l].count();
        for (std::size_t i = 0; i < count; ++i) {
            const host::Vec3 p = filePosition(mesh.positions[vertices[l].pointOf(i)], layout.zUp);
            out.value(p.x);
            out.value(p.y);
            out.value(p.z);
            extrasOf(mesh, layout, vertices[l], i, extra);
            out.bytes(extra.data(), extra.size() * sizeof(float));
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(count % kLinesPerChunk);
    }
    std::uint32_t base = 0;
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const host::Mesh &mesh = layers[l]->mesh;
        for (std::size_t i = 0; i < mesh.polygonCount(); ++i) {
            const host::Polygon &polygon = mesh.polygons[i];
            if (byteCounts)
                out.value(static_cast<std::uint8_t>(polygon.vertexCount));
            else
                out.value(polygon.vertexCount);
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k)
                out.value(base + vertices[l].vertexOf(polygon.firstVertex + k));
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(mesh.polygonCount() % kLinesPerChunk);
        base += static_cast<std::uint32_t>(vertices[l].count());
    }
    out.flush();
}

// Text lines formatted on every core, in order.
void writeAsciiBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                    const std::vector<LayerVertices> &vertices, const Layout &layout)
{
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const host::Mesh &mesh = layers[l]->mesh;
        const auto formatPoints = [&](std::size_t first, std::size_t end, TextAppender &out) {
            std::vector<float> extra;
            NumberMemo<double> xs, ys, zs;
            std::vector<NumberMemo<double>> extraMemos(layout.weights.size() + 5);
            for (std::size_t i = first; i < end; ++i) {
                const host::Vec3 p = filePosition(mesh.positions[vertices[l].pointOf(i)], layout.zUp);
                out.number(p.x, xs);
                out.character(' ');
                out.number(p.y, ys);
                out.character(' ');
                out.number(p.z, zs);
                extrasOf(mesh, layout, vertices[l], i, extra);
                for (std::size_t k = 0; k < extra.size(); ++k) {
                    out.character(' ');
                    out.number(static_cast<double>(extra[k]), extraMemos[k]); // as ASCII files always had them
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, vertices[l].count(), formatPoints);
    }
    std::uint64_t base = 0;
    for (std::size_t l = 0; l < layers.size(); ++l) {
        const host::Mesh &mesh = layers[l]->mesh;
        const auto formatFaces = [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const host::Polygon &polygon = mesh.polygons[i];
                out.number(polygon.vertexCount);
                for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                    out.character(' ');
                    out.number(base + vertices[l].vertexOf(polygon.firstVertex + k));
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.polygonCount(), formatFaces);
        base += vertices[l].count();
    }
}

std::string headerOf(const Layout &layout, bool ascii, std::size_t vertices, std::size_t faces, bool byteCounts)
{
    std::string header = "ply\nformat ";
    header += ascii ? "ascii 1.0\n" : "binary_little_endian 1.0\n";
    header += "comment planted by tuftsprout\n";
    header += "element vertex " + std::to_string(vertices) + "\n";
    header += "property double x\nproperty double y\nproperty double z\n";
    for (const auto &weight : layout.weights)
        header += "property float " + oneWord(weight.first, "unnamed") + "\n";
    if (layout.channels.uvs)
        header += "property float s\nproperty float t\n";
    if (layout.channels.normals)
        header += "property float nx\nproperty float ny\nproperty float nz\n";
    header += "element face " + std::to_string(faces) + "\n";
    // Vertex counts fit a byte in nearly every mesh; the rare larger polygon needs more.
    header += byteCounts ? "property list uchar uint vertex_indices\nend_header\n"
                         : "property list uint uint vertex_indices\nend_header\n";
    return header;
}

} // namespace

WrittenCounts writePly(const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, const WriteOptions &options)
{
    const Layout layout{weightMaps(object, layers), fileChannels(object, layers, options), options.up == UpAxis::kZ};
    WrittenCounts counts;
    std::vector<LayerVertices> vertices;
    vertices.reserve(layers.size());
    std::size_t vertexCount = 0;
    std::uint32_t largestPolygon = 0;
    for (const host::Layer *layer : layers) {
        vertices.emplace_back(object, layer->mesh, options, layout.channels, counts.warnings);
        vertexCount += vertices.back().count();
        counts.points += layer->mesh.pointCount();
        counts.polygons += layer->mesh.polygonCount();
        for (const host::Polygon &polygon : layer->mesh.polygons)
            largestPolygon = std::max(largestPolygon, polygon.vertexCount);
    }
    const bool byteCounts = largestPolygon <= 255;
    const bool ascii = options.plyEncoding == PlyEncoding::kAscii;
    AtomicFile file(path);
    const std::string header = headerOf(layout, ascii, vertexCount, counts.polygons, byteCounts);
    file.write(header.data(), header.size());
    ProgressCount progress(options.progress, vertexCount + counts.polygons);
    if (ascii)
        writeAsciiBody(file, progress, layers, vertices, layout);
    else
        writeBinaryBody(file, progress, layers, vertices, layout, byteCounts);
    file.commit();
    return counts;
}

} // namespace tuft::meshio
