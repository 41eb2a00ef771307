// PLY output, binary little-endian or ASCII: double positions, float weight maps and
// the first UV map as s and t, faces as vertex_indices lists.
#include "meshio/atomic_file.h"
#include "meshio/formats.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace tuft::meshio {

namespace {

// Everything written goes through one buffer, flushed in large blocks.
class Output {
public:
    explicit Output(AtomicFile &file) : file_(file), buffer_(new char[kBlock]) {}
    void bytes(const void *data, std::size_t size)
    {
        if (size == 0) // a point without maps has no extras, and no pointer to them
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

// The maps written per point: weight maps, then the first UV map as s and t.
struct WrittenMaps {
    std::vector<std::pair<std::string, std::uint32_t>> weights;
    long uvKey = -1;
};

WrittenMaps mapsOf(const host::Object &object, const std::vector<const host::Layer *> &layers)
{
    WrittenMaps maps;
    for (std::size_t key = 0; key < object.mapCount(); ++key) {
        const host::MapInfo &info = object.mapInfo(static_cast<std::uint32_t>(key));
        bool used = false;
        for (const host::Layer *layer : layers)
            used |= layer->mesh.findMap(static_cast<std::uint32_t>(key)) != nullptr;
        if (!used)
            continue;
        if (info.type == MH_MAP_WEIGHT && info.dimension == 1)
            maps.weights.emplace_back(info.name, static_cast<std::uint32_t>(key));
        else if (info.type == MH_MAP_UV && info.dimension == 2 && maps.uvKey < 0)
            maps.uvKey = static_cast<long>(key);
    }
    return maps;
}

float mapValue(const host::Mesh &mesh, long key, std::size_t point, int component, int dimension)
{
    const host::PointMap *map = mesh.findMap(static_cast<std::uint32_t>(key));
    if (map == nullptr || !map->has[point])
        return 0.0f;
    return map->values[point * dimension + component];
}

// Per point: the weights, then s and t; points without a value get 0.
void extrasOf(const host::Mesh &mesh, const WrittenMaps &maps, std::size_t point, std::vector<float> &extra)
{
    extra.clear();
    for (const auto &weight : maps.weights)
        extra.push_back(mapValue(mesh, weight.second, point, 0, 1));
    if (maps.uvKey >= 0) {
        extra.push_back(mapValue(mesh, maps.uvKey, point, 0, 2));
        extra.push_back(mapValue(mesh, maps.uvKey, point, 1, 2));
    }
}

void writeBinaryBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                     const WrittenMaps &maps, bool byteCounts)
{
    Output out(file);
    std::vector<float> extra;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        for (std::size_t i = 0; i < mesh.pointCount(); ++i) {
            const host::Vec3 &p = mesh.positions[i];
            out.value(p.x);
            out.value(p.y);
            out.value(p.z);
            extrasOf(mesh, maps, i, extra);
            out.bytes(extra.data(), extra.size() * sizeof(float));
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(mesh.pointCount() % kLinesPerChunk);
    }
    std::uint32_t base = 0;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        for (std::size_t i = 0; i < mesh.polygonCount(); ++i) {
            const host::Polygon &polygon = mesh.polygons[i];
            if (byteCounts)
                out.value(static_cast<std::uint8_t>(polygon.vertexCount));
            else
                out.value(polygon.vertexCount);
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k)
                out.value(base + mesh.vertices[polygon.firstVertex + k]);
            if ((i + 1) % kLinesPerChunk == 0)
                progress.add(kLinesPerChunk);
        }
        progress.add(mesh.polygonCount() % kLinesPerChunk);
        base += static_cast<std::uint32_t>(mesh.pointCount());
    }
    out.flush();
}

// Text lines formatted on every core, in order.
void writeAsciiBody(AtomicFile &file, ProgressCount &progress, const std::vector<const host::Layer *> &layers,
                    const WrittenMaps &maps)
{
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        const auto formatPoints = [&](std::size_t first, std::size_t end, TextAppender &out) {
            std::vector<float> extra;
            NumberMemo<double> xs, ys, zs;
            std::vector<NumberMemo<double>> extraMemos(maps.weights.size() + 2);
            for (std::size_t i = first; i < end; ++i) {
                const host::Vec3 &p = mesh.positions[i];
                out.number(p.x, xs);
                out.character(' ');
                out.number(p.y, ys);
                out.character(' ');
                out.number(p.z, zs);
                extrasOf(mesh, maps, i, extra);
                for (std::size_t k = 0; k < extra.size(); ++k) {
                    out.character(' ');
                    out.number(static_cast<double>(extra[k]), extraMemos[k]); // as ASCII files always had them
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.pointCount(), formatPoints);
    }
    std::uint64_t base = 0;
    for (const host::Layer *layer : layers) {
        const host::Mesh &mesh = layer->mesh;
        const auto formatFaces = [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const host::Polygon &polygon = mesh.polygons[i];
                out.number(polygon.vertexCount);
                for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                    out.character(' ');
                    out.number(base + mesh.vertices[polygon.firstVertex + k]);
                }
                out.character('\n');
            }
        };
        writeInChunks(file, progress, mesh.polygonCount(), formatFaces);
        base += mesh.pointCount();
    }
}

} // namespace

WrittenCounts writePly(const std::string &path, const std::vector<const host::Layer *> &layers,
                       const host::Object &object, bool ascii, const WriteProgress &report)
{
    WrittenCounts counts;
    std::uint32_t largestPolygon = 0;
    for (const host::Layer *layer : layers) {
        counts.points += layer->mesh.pointCount();
        counts.polygons += layer->mesh.polygonCount();
        for (const host::Polygon &polygon : layer->mesh.polygons)
            largestPolygon = std::max(largestPolygon, polygon.vertexCount);
    }
    // Vertex counts fit a byte in nearly every mesh; the rare larger polygon needs more.
    const bool byteCounts = largestPolygon <= 255;
    const WrittenMaps maps = mapsOf(object, layers);
    AtomicFile file(path);
    std::string header = "ply\nformat ";
    header += ascii ? "ascii 1.0\n" : "binary_little_endian 1.0\n";
    header += "comment planted by tuftsprout\n";
    header += "element vertex " + std::to_string(counts.points) + "\n";
    header += "property double x\nproperty double y\nproperty double z\n";
    for (const auto &weight : maps.weights)
        header += "property float " + oneWord(weight.first, "unnamed") + "\n";
    if (maps.uvKey >= 0)
        header += "property float s\nproperty float t\n";
    header += "element face " + std::to_string(counts.polygons) + "\n";
    header += byteCounts ? "property list uchar uint vertex_indices\nend_header\n"
                         : "property list uint uint vertex_indices\nend_header\n";
    file.write(header.data(), header.size());
    ProgressCount progress(report, counts.points + counts.polygons);
    if (ascii)
        writeAsciiBody(file, progress, layers, maps);
    else
        writeBinaryBody(file, progress, layers, maps, byteCounts);
    file.commit();
    return counts;
}

} // namespace tuft::meshio
