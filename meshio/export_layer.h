// A layer of the object as files and pictures hold it, made once for each layer written
// or drawn: the one place where geometry becomes what files are made of. Points in the
// file's frame (the up axis applied), one UV channel made from the object's UV maps,
// normals (the object's own, else smooth ones), and vertices welded per (point, values).
// Everything is read by index, so a writer takes it in pieces of any size, on any core.
#pragma once

#include "meshio/meshio.h"
#include "meshio/welding.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace tuft::meshio {

// Which channels a file carries: once a file has UVs (or normals), every corner of every
// layer gets one, so that every reader keeps every face.
struct FileChannels {
    bool uvs = false;
    bool normals = false;
    bool colours = false; // blades coloured one by one (WriteOptions::colours)
};
FileChannels fileChannels(const host::Object &object, const std::vector<const host::Layer *> &layers,
                          const WriteOptions &options);

// The Z-up turn, both ways: the object's (x, y, z) is a Z-up file's (x, -z, y).
template <typename T> void yUpToZUp(T &, T &y, T &z)
{
    const T up = y;
    y = -z;
    z = up;
}
template <typename T> void zUpToYUp(T &, T &y, T &z)
{
    const T up = z;
    z = -y;
    y = up;
}

// The smallest box around positions as floats.
struct Bounds {
    float low[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                    std::numeric_limits<float>::max()};
    float high[3] = {std::numeric_limits<float>::lowest(), std::numeric_limits<float>::lowest(),
                     std::numeric_limits<float>::lowest()};
    void add(const float (&p)[3])
    {
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    }
};

// A corner's UV and normal together, 0 where it has none: what a PLY or glTF vertex carries.
using CornerValues = std::array<float, 5>;

// The vertices of a list of corners: where every corner takes its point's own values, the
// points themselves (vertex i on point `first + i`); otherwise welded, one per distinct
// (point, UV, normal).
class VertexTable {
public:
    VertexTable(std::uint32_t firstPoint, std::size_t count) : firstPoint_(firstPoint), count_(count) {}
    VertexTable(Welding<CornerValues> &&welding, std::vector<std::uint32_t> &&cornerVertex)
        : welding_(std::move(welding)), cornerVertex_(std::move(cornerVertex)), count_(welding_->size())
    {
    }

    bool welded() const { return welding_.has_value(); }
    std::size_t count() const { return count_; }
    std::uint32_t pointOf(std::size_t vertex) const
    {
        return welding_ ? welding_->pointOf(vertex) : firstPoint_ + static_cast<std::uint32_t>(vertex);
    }
    // A welded vertex's values.
    const CornerValues &valuesOf(std::size_t vertex) const { return welding_->valuesOf(vertex); }
    // The vertex of the corner at that place in the list, standing on `point`.
    std::uint32_t vertexOf(std::size_t corner, std::uint32_t point) const
    {
        return welding_ ? cornerVertex_[corner] : point - firstPoint_;
    }

private:
    std::optional<Welding<CornerValues>> welding_;
    std::vector<std::uint32_t> cornerVertex_;
    std::uint32_t firstPoint_ = 0;
    std::size_t count_;
};

// A surface's polygons of three points or more, as a glTF primitive holds them: those of
// one object name (the polygons' host::kObjectTag, 0 for none).
struct SurfacePart {
    std::uint32_t surface;
    std::uint32_t objectName = 0;
    std::vector<std::uint32_t> polygonNumbers; // in order
    std::uint64_t triangles = 0;
    std::uint64_t corners = 0;
    VertexTable vertexTable{0, 0}; // corners numbered in polygon order
    Bounds bounds;
};

// `take(index, polygon, points)` for the part's polygons [first, end) of its own order, a
// range of the mesh at a time: a part's polygons mostly follow one another.
template <typename Take> void forPartPolygons(const host::LayerMesh &mesh, const SurfacePart &part, std::size_t first,
                                              std::size_t end, const Take &take)
{
    const std::vector<std::uint32_t> &numbers = part.polygonNumbers;
    for (std::size_t i = first; i < end;) {
        std::size_t j = i + 1;
        while (j < end && numbers[j] == numbers[j - 1] + 1)
            ++j;
        mesh.forPolygons(numbers[i], numbers[j - 1] + std::size_t(1), take);
        i = j;
    }
}

// The numbers an OBJ file gives one channel's values (vt or vn) in a layer, from 1: first
// every point that has a value, in point order; then each value a corner has of its own;
// then, when some corner has none, one zero value.
class ChannelNumbers {
public:
    std::uint64_t count() const { return count_; }
    // The number (after `base`) of the value of the corner at that place in the mesh's
    // vertex list, standing on `point`.
    std::uint64_t of(std::size_t vertexSlot, std::uint32_t point) const
    {
        if (!cornerNumber_.empty() && cornerNumber_[vertexSlot] != 0)
            return cornerNumber_[vertexSlot];
        const std::uint64_t local = everyPoint_ ? point + std::uint64_t(1) : pointNumber_[point];
        return local != 0 ? local : zero_;
    }
    // The values after the points': corners' own, then the zero; three floats each.
    std::vector<std::array<float, 3>> extra;
    int dimension = 0;

private:
    friend class ExportLayer;
    std::uint64_t count_ = 0;
    bool everyPoint_ = true;
    std::uint32_t zero_ = 0;
    std::vector<std::uint32_t> pointNumber_;  // empty when every point has a value
    std::vector<std::uint32_t> cornerNumber_; // by vertex slot: a corner's own value, 0 for its point's
};

class ExportLayer {
public:
    // `up`: the frame of the file (Y for formats that have their own); `warnings` hears
    // once of UV maps that give a point two values.
    ExportLayer(const host::Object &object, const host::Layer &layer, const WriteOptions &options,
                const FileChannels &file, UpAxis up, WriteWarnings &warnings);

    const host::Object &object() const { return object_; }
    const host::Layer &layer() const { return layer_; }
    const host::LayerMesh &mesh() const { return mesh_; }
    const FileChannels &channels() const { return file_; }

    // A point where the file has it.
    host::Vec3 position(std::uint32_t point) const { return inFile(mesh_.position(point)); }
    host::Vec3 inFile(host::Vec3 p) const
    {
        if (zUp_)
            yUpToZUp(p.x, p.y, p.z);
        return p;
    }
    // A direction (a normal) where the file has it.
    std::array<float, 3> direction(const float *n) const
    {
        std::array<float, 3> d{n[0], n[1], n[2]};
        if (zUp_)
            yUpToZUp(d[0], d[1], d[2]);
        return d;
    }

    // A point's own UV or normal (in the object's frame); null when it has none (in the
    // file it is 0, 0 or the smooth normal).
    const float *pointUv(std::uint32_t point) const;
    const float *pointNormal(std::uint32_t point) const;
    // `take(point, uv)` with pointUv() of each point of [first, end), in order: faster for
    // a range.
    template <typename Take> void forPointUvs(std::size_t first, std::size_t end, const Take &take) const
    {
        if (uvMaps_.empty() || !mergedHas_.empty()) {
            for (std::size_t i = first; i < end; ++i)
                take(i, pointUv(static_cast<std::uint32_t>(i)));
            return;
        }
        mesh_.forPointValues(uvMaps_.front().key, first, end, take);
    }
    // A corner's: the polygon's own value for the point, else the point's; null for none.
    const float *cornerUv(std::uint32_t polygon, std::uint32_t point) const;
    const float *cornerNormal(std::uint32_t polygon, std::uint32_t point) const;
    // Both together, 0 where there is none.
    CornerValues pointValues(std::uint32_t point) const;
    CornerValues cornerValues(std::uint32_t polygon, std::uint32_t point) const;
    // A point's colour: its blade's, white for a point of no coloured blade.
    Rgb colourOf(std::uint32_t point) const { return colours_ ? colours_(point) : Rgb{255, 255, 255}; }
    // Colours by another rule than the layer's blades: for a layer that holds some of
    // another layer's points (the glTF writer's layers apart), or none.
    void setColours(std::function<Rgb(std::uint32_t point)> colours) { colours_ = std::move(colours); }

    // Whether any corner has a value of its own, different from its point's.
    bool seams() const { return uvSeams_ || normalSeams_; }

    // The layer's vertices as a file that lists every point first holds them (PLY): the
    // points with their own values, then a copy of a point for each other value its
    // corners take. Corners are numbered by their place in the mesh's vertex list.
    VertexTable pointsFirst() const;
    // The surfaces' polygons of three points or more, apart for each object name, in the
    // order of their first polygon, each with its own vertices (glTF); `skipped` counts
    // the smaller polygons.
    std::vector<SurfacePart> surfaceParts(std::size_t &skipped) const;
    // The numbers of the UV and the normal channel in an OBJ file.
    ChannelNumbers uvNumbers() const;
    ChannelNumbers normalNumbers() const;

    // Each polygon of three points or more, with a vertex for each of its corners: one per
    // point and surface, numbered in the order first used. `sums` gets three floats a
    // vertex: the sum of its polygons' Newell vectors (their normals, twice their areas
    // long) taken of the points as `at(point)` gives them (a host::Vec3). `take(polygon,
    // corners)` hears of each polygon and its corners' vertices, in order.
    template <typename At, typename Take>
    Welding<std::uint32_t> surfaceVertices(const At &at, std::vector<float> &sums, const Take &take) const
    {
        Welding<std::uint32_t> vertices(mesh_.pointCount(), mesh_.pointCount()); // most points lie on one surface
        sums.clear();
        sums.reserve(3 * mesh_.pointCount());
        std::vector<std::uint32_t> corners;
        for (std::uint32_t p = 0; p < mesh_.polygonCount(); ++p) {
            const host::Polygon polygon = mesh_.polygon(p);
            if (polygon.vertexCount < 3)
                continue;
            corners.clear();
            for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
                const std::uint32_t vertex = vertices.of(mesh_.cornerPoint(polygon.firstVertex + k), polygon.surface);
                if (vertex == sums.size() / 3)
                    sums.resize(sums.size() + 3, 0.0f);
                corners.push_back(vertex);
            }
            const host::Vec3 n = host::newellVector(
                polygon.vertexCount, [&](std::uint32_t k) { return at(mesh_.cornerPoint(polygon.firstVertex + k)); });
            for (std::uint32_t vertex : corners) {
                float *sum = &sums[3 * std::size_t(vertex)];
                sum[0] += static_cast<float>(n.x);
                sum[1] += static_cast<float>(n.y);
                sum[2] += static_cast<float>(n.z);
            }
            take(p, corners);
        }
        return vertices;
    }

private:
    void mergeUvMaps(WriteWarnings &warnings);
    void computeSmoothNormals();
    // A channel's numbering, from its values at points (a range at a time, or one point)
    // and at corners.
    template <typename PointValues, typename PointValue, typename CornerValue>
    ChannelNumbers numbers(int dimension, bool seams, const PointValues &forPointValues, const PointValue &pointValue,
                           const CornerValue &cornerValue) const;

    const host::Object &object_;
    const host::Layer &layer_;
    const host::LayerMesh &mesh_;
    const FileChannels file_;
    const bool zUp_;
    std::vector<host::LayerMap> uvMaps_; // by key
    std::vector<float> mergedUv_;        // when several maps: two a point
    std::vector<std::uint8_t> mergedHas_;
    std::optional<host::LayerMap> normalMap_;
    // Smooth normals, a vertex per point and surface.
    std::optional<Welding<std::uint32_t>> smoothVertices_;
    std::vector<float> smooth_; // three a vertex
    bool uvSeams_ = false, normalSeams_ = false;
    std::function<Rgb(std::uint32_t point)> colours_; // empty: white
};

// The colours of the blades of the layer of that number; null for none.
const BladeColours *bladeColoursOf(const std::vector<BladeColours> &colours, int layer);

} // namespace tuft::meshio
