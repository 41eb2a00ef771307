// Wavefront OBJ output: the material libraries, then per layer its points (with the
// blades' colours after them, when coloured), UVs and normals (a point's own values in point order, then the values
// corners have of their own, then a zero for corners without), and its polygons in their order, with group, object,
// smoothing and material lines where they change.
#include "meshio/atomic_file.h"
#include "meshio/export_layer.h"
#include "meshio/formats.h"
#include "meshio/output_set.h"
#include "meshio/parallel_text.h"
#include "meshio/writing.h"

#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace tuft::meshio {

namespace {

void writePoints(AtomicFile &file, ProgressCount &progress, const ExportLayer &layer)
{
    writeInChunks(file, progress, layer.mesh().pointCount(),
                  [&](std::size_t first, std::size_t end, TextAppender &out) {
                      NumberMemo<double> xs, ys, zs;
                      NumberMemo<float> colourMemos[3];
                      layer.mesh().forPositions(first, end, [&](std::size_t i, const host::Vec3 &position) {
                          const host::Vec3 p = layer.inFile(position);
                          out.text("v ");
                          out.number(p.x, xs);
                          out.character(' ');
                          out.number(p.y, ys);
                          out.character(' ');
                          out.number(p.z, zs);
                          if (layer.channels().colours) { // "v x y z r g b", as Blender and assimp read it
                              const Rgb rgb = layer.colourOf(static_cast<std::uint32_t>(i));
                              for (int c = 0; c < 3; ++c) {
                                  out.character(' ');
                                  out.number(static_cast<float>(rgb[c]) / 255.0f, colourMemos[c]);
                              }
                          }
                          out.character('\n');
                      });
                  });
}

// One channel's lines: "vt u v" or "vn x y z", floats written as the floats they are.
// `pointValues(first, end, take)` calls take(point, value) for the points of a range.
// Copies of a blade share their values: a line is remembered by its value's address.
template <typename PointValues> void writeChannel(AtomicFile &file, ProgressCount &progress, const ExportLayer &layer,
                                                  const ChannelNumbers &numbers, const char *keyword,
                                                  const PointValues &pointValues)
{
    constexpr std::size_t kLineRoom = 3 + 3 * kNumberTextMax; // the keyword, and a number's room each
    struct Lines {
        TextMemo<63> memo; // "vn" and three numbers of at most 15 characters
        NumberMemo<float> numbers[3];
    };
    const int dimension = numbers.dimension;
    const auto line = [&](TextAppender &out, const float *value, Lines &lines) {
        out.made(kLineRoom, [&](char *at) {
            return lines.memo.write(at, reinterpret_cast<std::uintptr_t>(value), [&](char *text) {
                const std::array<float, 3> v =
                    dimension == 3 ? layer.direction(value) : std::array<float, 3>{value[0], value[1]};
                std::memcpy(text, keyword, 2);
                text += 2;
                for (int d = 0; d < dimension; ++d) {
                    *text++ = ' ';
                    text = lines.numbers[d].write(text, v[d]);
                }
                *text++ = '\n';
                return text;
            });
        });
    };
    writeInChunks(file, progress, layer.mesh().pointCount(),
                  [&](std::size_t first, std::size_t end, TextAppender &out) {
                      const auto lines = std::make_unique<Lines>();
                      pointValues(first, end, [&](std::size_t, const float *value) {
                          if (value != nullptr)
                              line(out, value, *lines);
                      });
                  });
    static const WriteProgress kNobody;
    ProgressCount uncounted(kNobody, 0); // a few values beside the points' own: not worth telling
    writeInChunks(file, uncounted, numbers.extra.size(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        const auto lines = std::make_unique<Lines>();
        for (std::size_t i = first; i < end; ++i)
            line(out, numbers.extra[i].data(), *lines);
    });
}

// The tags a polygon line stands under; a change writes the lines that say so. Polygons
// without an object or group after some with one (the blades, planted after the input)
// are an object and group of their own, named by their surface: they never join the
// input's last object.
struct Headings {
    // A polygon tag's values, when the layer has the tag.
    struct Column {
        const host::LayerMesh &mesh;
        std::uint32_t type;
        bool present;
        std::uint32_t operator[](std::size_t p) const { return mesh.tagValue(type, p); }
    };
    const host::Object &object;
    const host::LayerMesh &mesh;
    const Column part, objectName, smoothing;
    std::vector<std::string> surfaces; // by surface index, as OBJ names

    Headings(const host::Object &o, const host::LayerMesh &m)
        : object(o), mesh(m), part(column(m, host::kPartTag)), objectName(column(m, host::kObjectTag)),
          smoothing(column(m, host::kSmoothingTag)), surfaces(surfaceFileNames(o))
    {
        for (std::string &name : surfaces)
            name = objName(name);
    }

    static Column column(const host::LayerMesh &mesh, std::uint32_t type) { return {mesh, type, mesh.hasTag(type)}; }

    static bool changes(const Column &tag, std::size_t p) { return tag.present && (p == 0 || tag[p] != tag[p - 1]); }

    // The lines polygon p stands under, given its surface and the one before's.
    void write(TextAppender &out, std::size_t p, std::uint32_t surfaceIndex, std::uint32_t previousSurface) const
    {
        const bool surfaceChanges = p == 0 || surfaceIndex != previousSurface;
        const std::string &surface = surfaces[surfaceIndex];
        if (changes(objectName, p) && objectName[p] != 0)
            out.text("o " + object.tagName(objectName[p]) + "\n");
        else if (changes(objectName, p) && p > 0)
            out.text("o " + surface + "\n");
        if (!part.present && surfaceChanges) {
            out.text("g " + surface + "\n"); // as files without groups have always had it
        } else if (changes(part, p)) {
            const bool untagged = part[p] == 0;
            out.text(!untagged ? "g " + object.tagName(part[p]) + "\n" : p > 0 ? "g " + surface + "\n" : "g\n");
        }
        if (changes(smoothing, p)) {
            out.text("s ");
            if (smoothing[p] == 0)
                out.text("off");
            else
                out.number(std::uint64_t(smoothing[p]));
            out.character('\n');
        }
        if (surfaceChanges)
            out.text("usemtl " + surface + "\n");
    }
};

// A corner's point number as text, copied again for its UV or normal when they are
// numbered alike, as they most often are: copying is far cheaper than formatting.
class NumberText {
public:
    explicit NumberText(std::uint64_t value) : value_(value), length_(writeNumber(text_, value) - text_) {}
    void write(TextAppender &out) const { out.numberText(text_, length_); }
    void writeAs(TextAppender &out, std::uint64_t value) const
    {
        if (value == value_)
            write(out);
        else
            out.number(value);
    }

private:
    std::uint64_t value_;
    char text_[kNumberTextMax] = {};
    std::size_t length_;
};

struct LayerNumbers {
    std::uint64_t points = 0, uvs = 0, normals = 0;
};

void writePolygons(AtomicFile &file, ProgressCount &progress, const host::Object &object, const host::LayerMesh &mesh,
                   const ChannelNumbers *uvs, const ChannelNumbers *normals, const LayerNumbers &base)
{
    const Headings headings(object, mesh);
    writeInChunks(file, progress, mesh.polygonCount(), [&](std::size_t first, std::size_t end, TextAppender &out) {
        std::uint32_t previousSurface = first > 0 ? mesh.polygon(first - 1).surface : 0;
        mesh.forPolygons(first, end, [&](std::size_t p, const host::Polygon &polygon, const host::PolygonPoints &v) {
            headings.write(out, p, polygon.surface, previousSurface);
            previousSurface = polygon.surface;
            const bool pointsOnly = polygon.vertexCount == 1; // "p" takes no UVs or normals
            out.character(polygon.vertexCount >= 3 ? 'f' : polygon.vertexCount == 2 ? 'l' : 'p');
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                out.character(' ');
                const NumberText point(base.points + v[k] + 1);
                point.write(out);
                if (pointsOnly)
                    continue;
                const std::size_t slot = polygon.firstVertex + k;
                if (uvs != nullptr) {
                    out.character('/');
                    point.writeAs(out, base.uvs + uvs->of(slot, v[k]));
                }
                if (normals != nullptr && polygon.vertexCount >= 3) {
                    out.text(uvs != nullptr ? "/" : "//");
                    point.writeAs(out, base.normals + normals->of(slot, v[k]));
                }
            }
            out.character('\n');
        });
    });
}

void writeLayer(AtomicFile &file, ProgressCount &progress, const ExportLayer &layer, bool named, LayerNumbers &base)
{
    const host::LayerMesh &mesh = layer.mesh();
    if (named && !mesh.hasTag(host::kObjectTag)) {
        const std::string header = "o Layer" + std::to_string(layer.layer().number) + "\n";
        file.write(header.data(), header.size());
    }
    writePoints(file, progress, layer);
    std::optional<ChannelNumbers> uvs, normals;
    if (layer.channels().uvs) {
        uvs = layer.uvNumbers();
        writeChannel(file, progress, layer, *uvs, "vt", [&](std::size_t first, std::size_t end, const auto &take) {
            layer.forPointUvs(first, end, take);
        });
    }
    if (layer.channels().normals) {
        normals = layer.normalNumbers();
        writeChannel(file, progress, layer, *normals, "vn", [&](std::size_t first, std::size_t end, const auto &take) {
            for (std::size_t i = first; i < end; ++i)
                take(i, layer.pointNormal(static_cast<std::uint32_t>(i)));
        });
    }
    writePolygons(file, progress, layer.object(), mesh, uvs ? &*uvs : nullptr, normals ? &*normals : nullptr, base);
    base.points += mesh.pointCount();
    base.uvs += uvs ? uvs->count() : 0;
    base.normals += normals ? normals->count() : 0;
}

} // namespace

WrittenCounts writeObj(OutputSet &outputs, const std::string &path, const std::vector<const host::Layer *> &chosen,
                       const host::Object &object, const WriteOptions &options, const MaterialLibraries &libraries)
{
    if (!libraries.path.empty()) {
        AtomicFile &library = outputs.add(libraries.path);
        library.write(libraries.content.data(), libraries.content.size());
        library.complete();
    }
    const FileChannels channels = fileChannels(object, chosen, options);
    std::uint64_t elements = 0; // points, their UVs and normals, and polygons
    for (const host::Layer *layer : chosen)
        elements += layer->mesh.pointCount() * (1 + channels.uvs + channels.normals) + layer->mesh.polygonCount();
    ProgressCount progress(options.progress, elements);
    AtomicFile &file = outputs.add(path);
    std::string heading = "# planted by tuftsprout\n";
    for (const std::string &name : libraries.names)
        heading += "mtllib " + name + "\n";
    file.write(heading.data(), heading.size());
    LayerNumbers base;
    WrittenCounts written;
    written.warnings.assign(libraries.warnings.begin(), libraries.warnings.end());
    for (const host::Layer *layer : chosen) {
        const ExportLayer exported(object, *layer, options, channels, options.up, written.warnings);
        writeLayer(file, progress, exported, chosen.size() > 1, base);
        written.polygons += layer->mesh.polygonCount();
    }
    written.points = base.points;
    file.complete();
    return written;
}

} // namespace tuft::meshio
