// Wavefront OBJ output: the material libraries, then per layer its points, UVs and
// normals (a point's own values in point order, then the values corners have of their
// own, then a zero for corners without), and its polygons in their order, with group,
// object, smoothing and material lines where they change.
#include "meshio/atomic_file.h"
#include "meshio/corner_channels.h"
#include "meshio/formats.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"

#include <cstring>
#include <unordered_map>
#include <vector>

namespace tuft::meshio {

namespace {

// The numbers an OBJ file gives one channel's values (vt or vn) in a layer: first every
// point that has a value, in point order; then each value a corner has of its own; then,
// when some corner has none, one zero value.
class ChannelNumbers {
public:
    // `pointValue(point)` and `cornerValue(polygon, point)` give values or null.
    template <typename PointValue, typename CornerValue>
    ChannelNumbers(const host::Mesh &mesh, int dimension, bool seams, std::uint64_t base, const PointValue &pointValue,
                   const CornerValue &cornerValue)
        : dimension_(dimension), base_(base)
    {
        const std::size_t points = mesh.pointCount();
        for (std::size_t i = 0; i < points && everyPoint_; ++i)
            everyPoint_ = pointValue(static_cast<std::uint32_t>(i)) != nullptr;
        if (everyPoint_) {
            count_ = points;
        } else {
            pointNumber_.resize(points);
            for (std::size_t i = 0; i < points; ++i)
                pointNumber_[i] = pointValue(static_cast<std::uint32_t>(i)) != nullptr ? ++count_ : 0;
        }
        if (everyPoint_ && !seams)
            return; // every corner takes its point's value
        // Each corner's own value, where it differs from its point's; and whether any corner has none.
        std::unordered_map<std::string, std::uint32_t> seen;
        for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
            const host::Polygon &polygon = mesh.polygons[p];
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                const std::uint32_t point = mesh.vertices[polygon.firstVertex + k];
                const float *own = seams ? cornerValue(p, point) : nullptr;
                const float *ofPoint = pointValue(point);
                if (own != nullptr && (ofPoint == nullptr || !std::equal(own, own + dimension, ofPoint))) {
                    if (cornerNumber_.empty())
                        cornerNumber_.assign(mesh.vertices.size(), 0);
                    std::string key(reinterpret_cast<const char *>(&point), sizeof point);
                    key.append(reinterpret_cast<const char *>(own), sizeof(float) * dimension);
                    const auto found = seen.emplace(key, count_ + 1);
                    if (found.second) {
                        ++count_;
                        extra_.insert(extra_.end(), own, own + dimension);
                    }
                    cornerNumber_[polygon.firstVertex + k] = found.first->second;
                } else if (ofPoint == nullptr && zero_ == 0) {
                    zeroWanted_ = true;
                }
            }
        }
        if (zeroWanted_)
            zero_ = static_cast<std::uint32_t>(++count_);
    }

    std::uint64_t count() const { return count_; }
    // The number of the value of a polygon's k-th corner.
    std::uint64_t of(std::size_t vertexSlot, std::uint32_t point) const
    {
        if (!cornerNumber_.empty() && cornerNumber_[vertexSlot] != 0)
            return base_ + cornerNumber_[vertexSlot];
        const std::uint64_t local = everyPoint_ ? point + std::uint64_t(1) : pointNumber_[point];
        return base_ + (local != 0 ? local : zero_);
    }
    // The values after the points': corners' own, then the zero.
    const std::vector<float> &extra() const { return extra_; }
    bool zero() const { return zero_ != 0; }
    int dimension() const { return dimension_; }

private:
    int dimension_;
    std::uint64_t base_, count_ = 0;
    bool everyPoint_ = true, zeroWanted_ = false;
    std::uint32_t zero_ = 0;
    std::vector<std::uint32_t> pointNumber_;  // empty when every point has a value
    std::vector<std::uint32_t> cornerNumber_; // by vertex slot: a corner's own value, 0 for its point's
    std::vector<float> extra_;
};

// A position or a direction as the file holds it: the object is Y-up, a Z-up file turns
// it a quarter about X.
struct Frame {
    bool zUp;
    void apply(double &, double &y, double &z) const
    {
        if (zUp) {
            const double up = y;
            y = -z;
            z = up;
        }
    }
};

void writePoints(AtomicFile &file, ProgressCount &progress, const host::Mesh &mesh, Frame frame)
{
    writeInChunks(file, progress, mesh.pointCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        NumberMemo<double> xs, ys, zs;
        for (std::size_t i = first; i < end; ++i) {
            host::Vec3 p = mesh.positions[i];
            frame.apply(p.x, p.y, p.z);
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

// One channel's lines: "vt u v" or "vn x y z", floats written as the floats they are.
template <typename PointValue> void writeChannel(AtomicFile &file, ProgressCount &progress, const host::Mesh &mesh,
                                                 const ChannelNumbers &numbers, const char *keyword, Frame frame,
                                                 const PointValue &pointValue)
{
    const int dimension = numbers.dimension();
    const auto line = [&](TextAppender &out, const float *value, NumberMemo<float> *memos) {
        float v[3] = {value[0], value[1], dimension == 3 ? value[2] : 0.0f};
        if (dimension == 3) {
            double x = v[0], y = v[1], z = v[2];
            frame.apply(x, y, z);
            v[0] = static_cast<float>(x), v[1] = static_cast<float>(y), v[2] = static_cast<float>(z);
        }
        out.text(keyword);
        for (int d = 0; d < dimension; ++d) {
            out.character(' ');
            out.number(v[d], memos[d]);
        }
        out.character('\n');
    };
    writeInChunks(file, progress, mesh.pointCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        NumberMemo<float> memos[3];
        for (std::size_t i = first; i < end; ++i)
            if (const float *value = pointValue(static_cast<std::uint32_t>(i)))
                line(out, value, memos);
    });
    const std::vector<float> &extra = numbers.extra();
    std::vector<float> values(extra);
    if (numbers.zero())
        values.insert(values.end(), dimension, 0.0f);
    static const WriteProgress kNobody;
    ProgressCount uncounted(kNobody, 0); // a few values beside the points' own: not worth telling
    writeInChunks(file, uncounted, values.size() / dimension,
                  [&](std::size_t first, std::size_t end, TextAppender &out) {
                      NumberMemo<float> memos[3];
                      for (std::size_t i = first; i < end; ++i)
                          line(out, &values[i * dimension], memos);
                  });
}

// The tags a polygon line stands under; a change writes the lines that say so.
struct Headings {
    const host::Object &object;
    const host::Mesh &mesh;
    const host::PolygonTag *part, *objectName, *smoothing;

    Headings(const host::Object &o, const host::Mesh &m)
        : object(o), mesh(m), part(m.findTag(host::kPartTag)), objectName(m.findTag(host::kObjectTag)),
          smoothing(m.findTag(host::kSmoothingTag))
    {
    }

    static bool changes(const host::PolygonTag *tag, std::size_t p)
    {
        return tag != nullptr && (p == 0 || tag->values[p] != tag->values[p - 1]);
    }

    void write(TextAppender &out, std::size_t p) const
    {
        if (changes(objectName, p) && objectName->values[p] != 0) {
            out.text("o ");
            out.text(object.tagName(objectName->values[p]));
            out.character('\n');
        }
        const bool surfaceChanges = p == 0 || mesh.polygons[p].surface != mesh.polygons[p - 1].surface;
        const std::string surface = objName(object.surfaceName(mesh.polygons[p].surface));
        if (part == nullptr && surfaceChanges) {
            out.text("g " + surface + "\n"); // as files without groups have always had it
        } else if (changes(part, p)) {
            out.text(part->values[p] != 0 ? "g " + object.tagName(part->values[p]) + "\n" : "g\n");
        }
        if (changes(smoothing, p)) {
            out.text("s ");
            if (smoothing->values[p] == 0)
                out.text("off");
            else
                out.number(std::uint64_t(smoothing->values[p]));
            out.character('\n');
        }
        if (surfaceChanges)
            out.text("usemtl " + surface + "\n");
    }
};

struct LayerNumbers {
    std::uint64_t points = 0, uvs = 0, normals = 0;
};

void writePolygons(AtomicFile &file, ProgressCount &progress, const host::Object &object, const host::Mesh &mesh,
                   const ChannelNumbers *uvs, const ChannelNumbers *normals, std::uint64_t firstPoint)
{
    const Headings headings(object, mesh);
    writeInChunks(file, progress, mesh.polygonCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        for (std::size_t p = first; p < end; ++p) {
            headings.write(out, p);
            const host::Polygon &polygon = mesh.polygons[p];
            const std::uint32_t *v = &mesh.vertices[polygon.firstVertex];
            const bool pointsOnly = polygon.vertexCount == 1; // "p" takes no UVs or normals
            out.character(polygon.vertexCount >= 3 ? 'f' : polygon.vertexCount == 2 ? 'l' : 'p');
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                out.character(' ');
                out.number(firstPoint + v[k] + 1);
                if (pointsOnly)
                    continue;
                const std::size_t slot = polygon.firstVertex + k;
                if (uvs != nullptr) {
                    out.character('/');
                    out.number(uvs->of(slot, v[k]));
                }
                if (normals != nullptr && polygon.vertexCount >= 3) {
                    out.text(uvs != nullptr ? "/" : "//");
                    out.number(normals->of(slot, v[k]));
                }
            }
            out.character('\n');
        }
    });
}

void writeLayer(AtomicFile &file, ProgressCount &progress, const host::Object &object, const host::Layer &layer,
                const WriteOptions &options, const FileChannels &channels, bool named, LayerNumbers &base,
                ReadWarnings &warnings)
{
    const host::Mesh &mesh = layer.mesh;
    if (named && mesh.findTag(host::kObjectTag) == nullptr) {
        const std::string header = "o Layer" + std::to_string(layer.number) + "\n";
        file.write(header.data(), header.size());
    }
    const Frame frame{options.up == UpAxis::kZ};
    writePoints(file, progress, mesh, frame);
    const CornerChannels corners(object, mesh, options, channels, warnings);
    std::unique_ptr<ChannelNumbers> uvs, normals;
    if (channels.uvs) {
        const auto point = [&](std::uint32_t i) { return corners.pointUv(i); };
        uvs =
            std::make_unique<ChannelNumbers>(mesh, 2, corners.uvSeams(), base.uvs, point,
                                             [&](std::uint32_t p, std::uint32_t i) { return corners.cornerUv(p, i); });
        writeChannel(file, progress, mesh, *uvs, "vt", frame, point);
    }
    if (channels.normals) {
        const auto point = [&](std::uint32_t i) { return corners.pointNormal(i); };
        normals =
            std::make_unique<ChannelNumbers>(mesh, 3, true, base.normals, point, [&](std::uint32_t p, std::uint32_t i) {
                return corners.cornerNormal(p, i);
            });
        writeChannel(file, progress, mesh, *normals, "vn", frame, point);
    }
    writePolygons(file, progress, object, mesh, uvs.get(), normals.get(), base.points);
    base.points += mesh.pointCount();
    base.uvs += uvs ? uvs->count() : 0;
    base.normals += normals ? normals->count() : 0;
}

} // namespace

WrittenCounts writeObj(const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &object, const WriteOptions &options, const MaterialLibraries &libraries)
{
    // The library written with the file is replaced with it, or not at all.
    std::unique_ptr<AtomicFile> library;
    if (!libraries.path.empty()) {
        library = std::make_unique<AtomicFile>(libraries.path);
        library->write(libraries.content.data(), libraries.content.size());
    }
    const FileChannels channels = fileChannels(object, chosen, options);
    std::uint64_t elements = 0; // points, their UVs and normals, and polygons
    for (const host::Layer *layer : chosen)
        elements += layer->mesh.pointCount() * (1 + channels.uvs + channels.normals) + layer->mesh.polygonCount();
    ProgressCount progress(options.progress, elements);
    AtomicFile file(path);
    const std::string heading =
        "# planted by tuftsprout\n" + (libraries.names.empty() ? "" : "mtllib " + libraries.names + "\n");
    file.write(heading.data(), heading.size());
    LayerNumbers base;
    WrittenCounts written;
    for (const host::Layer *layer : chosen) {
        writeLayer(file, progress, object, *layer, options, channels, chosen.size() > 1, base, written.warnings);
        written.polygons += layer->mesh.polygonCount();
    }
    written.points = base.points;
    // Both are whole before either takes its place.
    file.complete();
    if (library) {
        library->complete();
        library->commit();
    }
    file.commit();
    return written;
}

} // namespace tuft::meshio
