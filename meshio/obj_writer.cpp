// Wavefront OBJ output: points, UVs where a UV map has values, one group per surface.
#include "atomic_file.h"
#include "file_parts.h"
#include "meshio.h"
#include "modeler_host.h"

#include <charconv>
#include <cstring>
#include <vector>

namespace tuft::meshio {

namespace {

// Collects text in a large buffer and hands it to the file in big blocks; numbers are
// formatted with std::to_chars, which ignores the locale.
class TextSink {
public:
    explicit TextSink(AtomicFile &file) : file_(file) { buffer_.resize(kBlock + 256); }
    ~TextSink() = default;

    void text(const char *s, std::size_t n)
    {
        if (n > 128) {
            flush();
            file_.write(s, n);
            return;
        }
        std::memcpy(buffer_.data() + used_, s, n);
        advance(n);
    }
    void text(const std::string &s) { text(s.data(), s.size()); }
    void literal(const char *s) { text(s, std::strlen(s)); }
    void number(double value)
    {
        const auto result = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value);
        advance(static_cast<std::size_t>(result.ptr - (buffer_.data() + used_)));
    }
    void number(std::uint64_t value)
    {
        const auto result = std::to_chars(buffer_.data() + used_, buffer_.data() + buffer_.size(), value);
        advance(static_cast<std::size_t>(result.ptr - (buffer_.data() + used_)));
    }
    void character(char c)
    {
        buffer_[used_] = c;
        advance(1);
    }
    void flush()
    {
        file_.write(buffer_.data(), used_);
        used_ = 0;
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    void advance(std::size_t n)
    {
        used_ += n;
        if (used_ >= kBlock)
            flush();
    }
    AtomicFile &file_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
};

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

void writeLayer(TextSink &out, const host::Object &object, const host::Layer &layer, bool named, Counters &base)
{
    const host::Mesh &mesh = layer.mesh;
    if (named) {
        out.literal("o Layer");
        out.number(std::uint64_t(layer.number));
        out.character('\n');
    }
    for (const host::Vec3 &p : mesh.positions) {
        out.literal("v ");
        out.number(p.x);
        out.character(' ');
        out.number(p.y);
        out.character(' ');
        out.number(p.z);
        out.character('\n');
    }
    // vt numbers of the points that carry a UV value; 0 for none.
    std::vector<std::uint64_t> uvIndex;
    if (const host::PointMap *uv = firstUvMap(object, mesh)) {
        uvIndex.assign(mesh.pointCount(), 0);
        std::uint64_t next = base.uvs;
        for (std::size_t i = 0; i < mesh.pointCount(); ++i) {
            if (!uv->has[i])
                continue;
            uvIndex[i] = ++next;
            out.literal("vt ");
            out.number(double(uv->values[2 * i]));
            out.character(' ');
            out.number(double(uv->values[2 * i + 1]));
            out.character('\n');
        }
        base.uvs = next;
    }

    // Polygons grouped by surface, in order of each surface's first polygon.
    std::vector<std::uint32_t> surfaces;
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
    for (std::size_t g = 0; g < surfaces.size(); ++g) {
        const std::string name = oneWord(object.surfaceName(surfaces[g]), "Default");
        out.literal("g ");
        out.text(name);
        out.literal("\nusemtl ");
        out.text(name);
        out.character('\n');
        for (std::uint32_t index : bySurface[g]) {
            const host::Polygon &polygon = mesh.polygons[index];
            const std::uint32_t *v = &mesh.vertices[polygon.firstVertex];
            bool withUv = !uvIndex.empty();
            for (std::uint32_t k = 0; withUv && k < polygon.vertexCount; ++k)
                withUv = uvIndex[v[k]] != 0;
            out.character(polygon.vertexCount >= 3 ? 'f' : polygon.vertexCount == 2 ? 'l' : 'p');
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                out.character(' ');
                out.number(base.points + v[k] + 1);
                if (withUv) {
                    out.character('/');
                    out.number(uvIndex[v[k]]);
                }
            }
            out.character('\n');
        }
    }
    base.points += mesh.pointCount();
}

} // namespace

WrittenCounts writeObj(const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &object)
{
    AtomicFile file(path);
    TextSink out(file);
    out.literal("# planted by tuftsprout\n");
    Counters base;
    WrittenCounts written;
    for (const host::Layer *layer : chosen) {
        writeLayer(out, object, *layer, chosen.size() > 1, base);
        written.polygons += layer->mesh.polygonCount();
    }
    written.points = base.points;
    out.flush();
    file.commit();
    return written;
}

} // namespace tuft::meshio
