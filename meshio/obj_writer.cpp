// Wavefront OBJ output: points, UVs where a UV map has values, one group per surface.
#include "atomic_file.h"
#include "file_parts.h"
#include "meshio.h"
#include "modeler_host.h"

#include "parallel_text.h"

#include <vector>

namespace tuft::meshio {

namespace {

constexpr std::size_t kPerChunk = 1 << 16;

const host::PointMap *firstUvMap(const host::Object &object, const host::Mesh &mesh)
{
    for (const host::PointMap &map : mesh.maps)
        if (object.mapInfo(map.key).type == MH_MAP_UV && map.dimension == 2)
            return &map;
    return nullptr;
}

struct Counters {
    std::uint64_t points = 0;
    std::uint64_t uvs = 0;
};

void writeText(AtomicFile &file, const std::string &text) { file.write(text.data(), text.size()); }

void writePoints(AtomicFile &file, const host::Mesh &mesh)
{
    writeInChunks(file, mesh.pointCount(), kPerChunk, [&](std::size_t first, std::size_t end, TextAppender &out) {
        for (std::size_t i = first; i < end; ++i) {
            const host::Vec3 &p = mesh.positions[i];
            out.literal("v ");
            out.number(p.x);
            out.character(' ');
            out.number(p.y);
            out.character(' ');
            out.number(p.z);
            out.character('\n');
        }
    });
}

// Writes the vt lines of the points that carry a UV value; returns each point's vt
// number (0 for none).
std::vector<std::uint64_t> writeUvs(AtomicFile &file, const host::Mesh &mesh, const host::PointMap &uv,
                                    std::uint64_t &lastUv)
{
    std::vector<std::uint64_t> uvIndex(mesh.pointCount(), 0);
    for (std::size_t i = 0; i < mesh.pointCount(); ++i)
        if (uv.has[i])
            uvIndex[i] = ++lastUv;
    writeInChunks(file, mesh.pointCount(), kPerChunk, [&](std::size_t first, std::size_t end, TextAppender &out) {
        for (std::size_t i = first; i < end; ++i) {
            if (uvIndex[i] == 0)
                continue;
            out.literal("vt ");
            out.number(uv.values[2 * i]); // floats, written as the floats they are
            out.character(' ');
            out.number(uv.values[2 * i + 1]);
            out.character('\n');
        }
    });
    return uvIndex;
}

// Polygons grouped by surface, in order of each surface's first polygon.
std::vector<std::vector<std::uint32_t>> polygonsBySurface(const host::Mesh &mesh, std::vector<std::uint32_t> &surfaces)
{
    std::vector<std::vector<std::uint32_t>> bySurface;
    std::vector<int> slotOf;
    for (std::uint32_t i = 0; i < mesh.polygonCount(); ++i) {
        const std::uint32_t s = mesh.polygons[i].surface;
        if (s >= slotOf.size())
            slotOf.resize(s + 1, -1);
        if (slotOf[s] < 0) {
            slotOf[s] = static_cast<int>(surfaces.size());
            surfaces.push_back(s);
            bySurface.emplace_back();
        }
        bySurface[slotOf[s]].push_back(i);
    }
    return bySurface;
}

void writePolygons(AtomicFile &file, const host::Object &object, const host::Mesh &mesh,
                   const std::vector<std::uint64_t> &uvIndex, std::uint64_t firstPoint)
{
    std::vector<std::uint32_t> surfaces;
    const std::vector<std::vector<std::uint32_t>> bySurface = polygonsBySurface(mesh, surfaces);
    for (std::size_t g = 0; g < surfaces.size(); ++g) {
        const std::string name = oneWord(object.surfaceName(surfaces[g]), "Default");
        writeText(file, "g " + name + "\nusemtl " + name + "\n");
        const std::vector<std::uint32_t> &group = bySurface[g];
        writeInChunks(file, group.size(), kPerChunk, [&](std::size_t first, std::size_t end, TextAppender &out) {
            for (std::size_t i = first; i < end; ++i) {
                const host::Polygon &polygon = mesh.polygons[group[i]];
                const std::uint32_t *v = &mesh.vertices[polygon.firstVertex];
                bool withUv = !uvIndex.empty();
                for (std::uint32_t k = 0; withUv && k < polygon.vertexCount; ++k)
                    withUv = uvIndex[v[k]] != 0;
                out.character(polygon.vertexCount >= 3 ? 'f' : polygon.vertexCount == 2 ? 'l' : 'p');
                for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                    out.character(' ');
                    out.number(firstPoint + v[k] + 1);
                    if (withUv) {
                        out.character('/');
                        out.number(uvIndex[v[k]]);
                    }
                }
                out.character('\n');
            }
        });
    }
}

void writeLayer(AtomicFile &file, const host::Object &object, const host::Layer &layer, bool named, Counters &base)
{
    const host::Mesh &mesh = layer.mesh;
    if (named)
        writeText(file, "o Layer" + std::to_string(layer.number) + "\n");
    writePoints(file, mesh);
    std::vector<std::uint64_t> uvIndex;
    if (const host::PointMap *uv = firstUvMap(object, mesh))
        uvIndex = writeUvs(file, mesh, *uv, base.uvs);
    writePolygons(file, object, mesh, uvIndex, base.points);
    base.points += mesh.pointCount();
}

} // namespace

WrittenCounts writeObj(const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &object)
{
    AtomicFile file(path);
    writeText(file, "# planted by tuftsprout\n");
    Counters base;
    WrittenCounts written;
    for (const host::Layer *layer : chosen) {
        writeLayer(file, object, *layer, chosen.size() > 1, base);
        written.polygons += layer->mesh.polygonCount();
    }
    written.points = base.points;
    file.commit();
    return written;
}

} // namespace tuft::meshio
