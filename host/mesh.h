// The geometry of one layer: points, polygons and point maps, stored flat so that
// copying, pasting and transforming cost what they move.
#pragma once

#include "host/flat_array.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

namespace tuft::host {

struct Vec3 {
    double x, y, z;
};

struct Polygon {
    std::uint32_t firstVertex; // its first corner among the mesh's (Mesh::cornerPoint)
    std::uint32_t vertexCount;
    std::uint32_t type;    // a four-letter code, "FACE" for ordinary polygons
    std::uint32_t surface; // index into the object's surface names
    std::uint8_t flags;    // bit 0: selected
};

// Four-letter codes of the host's own, beside those of the host interface.
constexpr std::uint32_t fourLetters(const char (&code)[5])
{
    return std::uint32_t(std::uint8_t(code[0])) << 24 | std::uint32_t(std::uint8_t(code[1])) << 16 |
           std::uint32_t(std::uint8_t(code[2])) << 8 | std::uint32_t(std::uint8_t(code[3]));
}
constexpr std::uint32_t kNormalMap = fourLetters("NORM"); // unit vectors that turn with the mesh
constexpr std::uint32_t kPartTag = fourLetters("PART");   // a polygon's group name
constexpr std::uint32_t kObjectTag = fourLetters("OBJN"); // a polygon's object name (OBJ "o")
constexpr std::uint32_t kSmoothingTag = fourLetters("SMGP");

// A value a point takes on one polygon only, in place of its own there: a seam of a UV
// map, a crease of a normal map.
struct CornerValue {
    std::uint32_t polygon;
    std::uint32_t point;
    float value[4]; // the map's dimension of them
};

// The values of one point map on the points of one mesh. Map identity (type, name and
// dimension) lives in the object; a mesh refers to it by key.
struct PointMap {
    std::uint32_t key;
    std::uint32_t type;
    int dimension;
    FlatArray<float> values;        // dimension floats per point
    FlatArray<std::uint8_t> has;    // 1 where the point has a value
    FlatArray<CornerValue> corners; // in polygon order

    // The point's own value, or null.
    const float *pointValue(std::uint32_t point) const
    {
        return has[point] ? &values[std::size_t(point) * dimension] : nullptr;
    }
    // The value the point has on that polygon alone, or null.
    const float *cornerValue(std::uint32_t polygon, std::uint32_t point) const;
    // The value of the point on the polygon: its corner value, else its own, else null.
    const float *valueOn(std::uint32_t polygon, std::uint32_t point) const;
};

// A tag every polygon of a mesh carries once any has it: a name (an index into the
// object's tag names, 0 for none) or a smoothing group (0 for none).
struct PolygonTag {
    std::uint32_t type;
    FlatArray<std::uint32_t> values; // one a polygon
};

// A polygon's points, in order: its stored corners, each moved on by `offset` (the place
// in its layer of the piece that holds the polygon).
class PolygonPoints {
public:
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::uint32_t;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::uint32_t;
        Iterator(const std::uint32_t *at, std::uint32_t offset) : at_(at), offset_(offset) {}
        std::uint32_t operator*() const { return *at_ + offset_; }
        Iterator &operator++()
        {
            ++at_;
            return *this;
        }
        Iterator operator++(int)
        {
            Iterator was = *this;
            ++at_;
            return was;
        }
        bool operator==(const Iterator &other) const { return at_ == other.at_; }
        bool operator!=(const Iterator &other) const { return at_ != other.at_; }

    private:
        const std::uint32_t *at_;
        std::uint32_t offset_;
    };

    PolygonPoints(const std::uint32_t *first, std::uint32_t count, std::uint32_t offset = 0)
        : first_(first), count_(count), offset_(offset)
    {
    }
    std::uint32_t size() const { return count_; }
    std::uint32_t operator[](std::uint32_t k) const { return first_[k] + offset_; }
    Iterator begin() const { return {first_, offset_}; }
    Iterator end() const { return {first_ + count_, offset_}; }

private:
    const std::uint32_t *first_;
    std::uint32_t count_;
    std::uint32_t offset_;
};

// The mesh keeps its own invariants: every map holds a value (or none) for every point,
// every tag one for every polygon, corner values lie in polygon order, and polygons use
// only points the mesh has.
class Mesh {
public:
    std::size_t pointCount() const { return positions_.size(); }
    std::size_t polygonCount() const { return polygons_.size(); }
    // Corners of all polygons together; a polygon's lie from its firstVertex on.
    std::size_t cornerCount() const { return vertices_.size(); }
    bool empty() const { return positions_.empty() && polygons_.empty(); }
    // How many points and polygons are selected (flag bit 0).
    std::size_t selectedPointCount() const;
    std::size_t selectedPolygonCount() const;

    const Vec3 &position(std::size_t point) const { return positions_[point]; }
    std::uint8_t pointFlags(std::size_t point) const { return pointFlags_[point]; }
    const Polygon &polygon(std::size_t polygon) const { return polygons_[polygon]; }
    PolygonPoints pointsOf(std::size_t polygon) const
    {
        const Polygon &p = polygons_[polygon];
        return {vertices_.data() + p.firstVertex, p.vertexCount};
    }
    // The point of the corner at that place among all polygons' corners.
    std::uint32_t cornerPoint(std::size_t corner) const { return vertices_[corner]; }
    const std::uint32_t *cornerPoints() const { return vertices_.data(); }
    // The maps, in the order they were made on this mesh.
    const std::vector<PointMap> &pointMaps() const { return maps_; }
    const std::vector<PolygonTag> &polygonTags() const { return tags_; }

    void setPosition(std::size_t point, const Vec3 &position) { positions_[point] = position; }
    void setPointFlags(std::size_t point, std::uint8_t flags) { pointFlags_[point] = flags; }
    void setPolygonFlags(std::size_t polygon, std::uint8_t flags) { polygons_[polygon].flags = flags; }
    void setPolygonSurface(std::size_t polygon, std::uint32_t surface) { polygons_[polygon].surface = surface; }

    // Empties the mesh, keeping its storage for reuse.
    void clear();
    void swap(Mesh &other) noexcept;
    // Adds a copy of `other` after the mesh's own elements.
    void append(const Mesh &other);
    // Cuts the mesh back to its first points, polygons and vertices (undo of additions).
    void truncate(std::size_t points, std::size_t polygons, std::size_t vertices);
    // Removes points no polygon uses; the points after them, and the polygons' references
    // to those, move down. A point a polygon uses is refused (std::invalid_argument), and
    // nothing is removed.
    void erasePoints(std::size_t first, std::size_t count);
    // Removes polygons with their corners, tags and corner values, keeping their points;
    // the polygons after them move down (std::out_of_range beyond the last, and nothing
    // is removed).
    void erasePolygons(std::size_t first, std::size_t count);

    std::uint32_t addPoint(const Vec3 &position, std::uint8_t flags = 0);
    // A polygon of points the mesh has (else std::out_of_range, and nothing is added).
    std::uint32_t addPolygon(std::uint32_t type, std::uint32_t surface, const std::uint32_t *indices,
                             std::uint32_t count, std::uint8_t flags = 0);

    PointMap *findMap(std::uint32_t key);
    const PointMap *findMap(std::uint32_t key) const;
    // The map with that key, made (with no values) when missing.
    PointMap &mapFor(std::uint32_t key, std::uint32_t type, int dimension);
    // Gives a point its own value on one polygon; corner values go in polygon order.
    void setCornerValue(PointMap &map, std::uint32_t polygon, std::uint32_t point, const float *value);

    const PolygonTag *findTag(std::uint32_t type) const;
    // The tag of that type, made (0 on every polygon) when missing.
    PolygonTag &tagFor(std::uint32_t type);

    // Transforms move the points; normal maps turn with them (and under a scale, lean
    // as the surface does).
    void translate(const Vec3 &offset);
    void scale(const Vec3 &factors, const Vec3 &centre);
    // Turns about the axis (0 X, 1 Y, 2 Z) through `centre` by `degrees`, positive turns
    // following the left-hand rule of the Modeler's left-handed coordinates.
    void rotate(int axis, double degrees, const Vec3 &centre);

private:
    FlatArray<Vec3> positions_;
    FlatArray<std::uint8_t> pointFlags_; // bit 0: selected
    FlatArray<Polygon> polygons_;
    FlatArray<std::uint32_t> vertices_; // the polygons' corners, a point each
    std::vector<PointMap> maps_;
    std::vector<std::int32_t> mapSlots_; // by map key: the map's place in `maps_`, -1 for none
    std::vector<PolygonTag> tags_;
};

// Newell's vector of a polygon whose k-th corner stands at `corner(k)` (a Vec3): its
// normal, twice its area long.
template <typename Corner> Vec3 newellVector(std::uint32_t count, const Corner &corner)
{
    Vec3 n{0.0, 0.0, 0.0};
    for (std::uint32_t k = 0; k < count; ++k) {
        const Vec3 a = corner(k), b = corner((k + 1) % count);
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    return n;
}

// The unit normal by Newell's method of a polygon of a mesh or a layer (anything with
// pointsOf and position); nullopt for fewer than three points or a degenerate polygon.
template <typename Polygons> std::optional<Vec3> unitNormalOf(const Polygons &mesh, std::uint32_t polygon)
{
    const PolygonPoints points = mesh.pointsOf(polygon);
    if (points.size() < 3)
        return std::nullopt;
    const Vec3 n = newellVector(points.size(), [&](std::uint32_t k) { return mesh.position(points[k]); });
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return std::nullopt;
    return Vec3{n.x / length, n.y / length, n.z / length};
}
inline std::optional<Vec3> polygonNormal(const Mesh &mesh, std::uint32_t polygon)
{
    return unitNormalOf(mesh, polygon);
}

} // namespace tuft::host
