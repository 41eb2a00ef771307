// Wavefront OBJ output: points, UVs where a UV map has values, one group per surface.
#include "meshio/atomic_file.h"
#include "meshio/formats.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"
#include "sdk/modeler_host.h"

#include <numeric>
#include <vector>

namespace tuft::meshio {

namespace {

const host::PointMap *firstUvMap(const host::Object &object, const host::Mesh &mesh)
{
    for (const host::PointMap &map : mesh.maps)
        if (object.mapInfo(map.key).type == MH_MAP_UV && map.dimension == 2)
            return &map;
    return nullptr;
}

void writePoints(AtomicFile &file, ProgressCount &progress, const host::Mesh &mesh)
{
    writeInChunks(file, progress, mesh.pointCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        NumberMemo<double> xs, ys, zs;
        for (std::size_t i = first; i < end; ++i) {
            const host::Vec3 &p = mesh.positions[i];
            out.text("v ");
            out.number(p.x, xs);
            out.character(' ');
            out.number(p.y, ys);
            out.character(' ');
            out.number(p.z, zs);
            out.character('\n');
        }
    });
}

// The vt number of each point of a layer: 0 for a point without a UV value. A map
// that covers every point (the usual case) needs no table.
class UvNumbers {
public:
    UvNumbers() = default;
    UvNumbers(const host::PointMap &uv, std::size_t points, std::uint64_t base) : base_(base)
    {
        if (std::find(uv.has.begin(), uv.has.begin() + points, 0) == uv.has.begin() + points) {
            count_ = points;
            return;
        }
        local_.resize(points);
        for (std::size_t i = 0; i < points; ++i)
            local_[i] = uv.has[i] ? ++count_ : 0;
    }
    bool any() const { return count_ > 0; }
    std::uint64_t count() const { return count_; }
    std::uint64_t of(std::size_t point) const
    {
        if (local_.empty())
            return count_ > 0 ? base_ + point + 1 : 0;
        return local_[point] != 0 ? base_ + local_[point] : 0;
    }

private:
    std::uint64_t base_ = 0, count_ = 0;
    std::vector<std::uint32_t> local_;
};

void writeUvs(AtomicFile &file, ProgressCount &progress, const host::Mesh &mesh, const host::PointMap &uv)
{
    writeInChunks(file, progress, mesh.pointCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        NumberMemo<float> us, vs;
        for (std::size_t i = first; i < end; ++i) {
            if (!uv.has[i])
                continue;
            out.text("vt ");
            out.number(uv.values[2 * i], us); // floats, written as the floats they are
            out.character(' ');
            out.number(uv.values[2 * i + 1], vs);
            out.character('\n');
        }
    });
}

// The surfaces in order of their first polygon, and the polygons ordered by surface
// (stable): empty when there is a single surface, which needs no reordering.
struct SurfaceGroups {
    std::vector<std::uint32_t> surfaces;
    std::vector<std::size_t> starts; // where each surface's polygons begin in `order`
    std::vector<std::uint32_t> order;
};

SurfaceGroups groupBySurface(const host::Mesh &mesh)
{
    SurfaceGroups groups;
    std::vector<std::uint32_t> slotOf; // per surface index: slot + 1, 0 for unseen
    std::vector<std::size_t> sizes;
    for (const host::Polygon &polygon : mesh.polygons) {
        if (polygon.surface >= slotOf.size())
            slotOf.resize(polygon.surface + 1, 0);
        if (slotOf[polygon.surface] == 0) {
            groups.surfaces.push_back(polygon.surface);
            slotOf[polygon.surface] = static_cast<std::uint32_t>(groups.surfaces.size());
            sizes.push_back(0);
        }
        ++sizes[slotOf[polygon.surface] - 1];
    }
    groups.starts.assign(sizes.size() + 1, 0);
    std::partial_sum(sizes.begin(), sizes.end(), groups.starts.begin() + 1);
    if (groups.surfaces.size() <= 1)
        return groups;
    groups.order.resize(mesh.polygonCount());
    std::vector<std::size_t> next(groups.starts.begin(), groups.starts.end() - 1);
    for (std::uint32_t i = 0; i < mesh.polygonCount(); ++i)
        groups.order[next[slotOf[mesh.polygons[i].surface] - 1]++] = i;
    return groups;
}

void writePolygon(TextAppender &out, const host::Mesh &mesh, const host::Polygon &polygon, const UvNumbers &uvs,
                  std::uint64_t firstPoint)
{
    const std::uint32_t *v = &mesh.vertices[polygon.firstVertex];
    bool withUv = uvs.any();
    for (std::uint32_t k = 0; withUv && k < polygon.vertexCount; ++k)
        withUv = uvs.of(v[k]) != 0;
    out.character(polygon.vertexCount >= 3 ? 'f' : polygon.vertexCount == 2 ? 'l' : 'p');
    for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
        out.character(' ');
        out.number(firstPoint + v[k] + 1);
        if (withUv) {
            out.character('/');
            out.number(uvs.of(v[k]));
        }
    }
    out.character('\n');
}

void writePolygons(AtomicFile &file, ProgressCount &progress, const host::Object &object, const host::Mesh &mesh,
                   const UvNumbers &uvs, std::uint64_t firstPoint)
{
    const SurfaceGroups groups = groupBySurface(mesh);
    for (std::size_t g = 0; g < groups.surfaces.size(); ++g) {
        const std::string name = oneWord(object.surfaceName(groups.surfaces[g]), "Default");
        const std::string header = "g " + name + "\nusemtl " + name + "\n";
        file.write(header.data(), header.size());
        const std::size_t start = groups.starts[g];
        writeInChunks(
            file, progress, groups.starts[g + 1] - start, [&](std::size_t first, std::size_t end, TextAppender &out) {
                for (std::size_t i = start + first; i < start + end; ++i)
                    writePolygon(out, mesh, mesh.polygons[groups.order.empty() ? i : groups.order[i]], uvs, firstPoint);
            });
    }
}

struct Counters {
    std::uint64_t points = 0;
    std::uint64_t uvs = 0;
};

void writeLayer(AtomicFile &file, ProgressCount &progress, const host::Object &object, const host::Layer &layer,
                bool named, Counters &base)
{
    const host::Mesh &mesh = layer.mesh;
    if (named) {
        const std::string header = "o Layer" + std::to_string(layer.number) + "\n";
        file.write(header.data(), header.size());
    }
    writePoints(file, progress, mesh);
    UvNumbers uvs;
    if (const host::PointMap *uv = firstUvMap(object, mesh)) {
        uvs = UvNumbers(*uv, mesh.pointCount(), base.uvs);
        writeUvs(file, progress, mesh, *uv);
    }
    writePolygons(file, progress, object, mesh, uvs, base.points);
    base.points += mesh.pointCount();
    base.uvs += uvs.count();
}

} // namespace

WrittenCounts writeObj(const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &object, const WriteProgress &report)
{
    std::uint64_t elements = 0; // points, their UVs and polygons
    for (const host::Layer *layer : chosen)
        elements += layer->mesh.pointCount() * (firstUvMap(object, layer->mesh) != nullptr ? 2 : 1) +
                    layer->mesh.polygonCount();
    ProgressCount progress(report, elements);
    AtomicFile file(path);
    const std::string_view heading = "# planted by tuftsprout\n";
    file.write(heading.data(), heading.size());
    Counters base;
    WrittenCounts written;
    for (const host::Layer *layer : chosen) {
        writeLayer(file, progress, object, *layer, chosen.size() > 1, base);
        written.polygons += layer->mesh.polygonCount();
    }
    written.points = base.points;
    file.commit();
    return written;
}

} // namespace tuft::meshio
