// The geometry of one layer, in pieces: meshes of its own, and runs of instances (one
// shared blade, a placement each). A run stands for copies of its blade that were pasted
// and then scaled, turned and moved: the layer reads as if each had been copied out and
// transformed, and costs a placement's numbers a copy instead of the copy itself. Editing
// an instance's own points makes a mesh of it first, that instance alone.
#pragma once

#include "host/mesh.h"
#include "host/placement.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tuft::host {

// A number no other run or layer state has had: what caches of placed points and of
// where elements lie are keyed by.
std::uint64_t freshStamp();

// Placements of one blade, each the same list of steps with numbers of its own.
struct InstanceRun {
    std::uint64_t stamp = freshStamp(); // new whenever a placement changes
    std::shared_ptr<const Mesh> blade;
    std::vector<Step> steps;
    std::size_t stride = 0;    // numbers a placement
    FlatArray<double> numbers; // stride a placement, the run's first from `first` on
    std::size_t first = 0;     // placements before it were taken out
    std::size_t count = 0;

    const double *numbersOf(std::size_t instance) const { return numbers.data() + (first + instance) * stride; }
    // The blade's points where the instance places them, valid until the thread places
    // another; a step at a time over all of them, as a mesh is transformed. Null for a
    // blade too large to keep placed: placeOne places a point of it alone.
    const Vec3 *placed(std::size_t instance) const;
    Vec3 placeOne(std::size_t instance, std::uint32_t point) const;
    Vec3 place(std::size_t instance, std::uint32_t point) const
    {
        const Vec3 *all = placed(instance);
        return all != nullptr ? all[point] : placeOne(instance, point);
    }
    // Whether instances [first, end) surely place every point at a finite position, told
    // from their numbers without placing one: the blade's points and the numbers are
    // finite, and no step can carry a point far enough to overflow. False when unsure.
    bool placesFinitely(std::size_t first, std::size_t end) const;
};

// A map a layer holds, as its pieces refer to it.
struct LayerMap {
    std::uint32_t key;
    std::uint32_t type;
    int dimension;
};

class LayerMesh {
public:
    LayerMesh() = default;
    // Copies share the pieces; a piece is copied when it is edited while shared.
    LayerMesh(const LayerMesh &other);
    LayerMesh &operator=(const LayerMesh &other);
    LayerMesh(LayerMesh &&) noexcept = default;
    LayerMesh &operator=(LayerMesh &&) noexcept = default;

    std::size_t pointCount() const { return pieces_.empty() ? 0 : pieces_.back().firstPoint + pieces_.back().points(); }
    std::size_t polygonCount() const
    {
        return pieces_.empty() ? 0 : pieces_.back().firstPolygon + pieces_.back().polygons();
    }
    std::size_t cornerCount() const
    {
        return pieces_.empty() ? 0 : pieces_.back().firstCorner + pieces_.back().corners();
    }
    bool empty() const { return pointCount() == 0 && polygonCount() == 0; }
    std::size_t selectedPointCount() const;
    std::size_t selectedPolygonCount() const;
    // How many instances the layer holds, and how many runs they are in.
    std::size_t instanceCount() const;

    Vec3 position(std::size_t point) const;
    // `take(point, position)` for each point of [first, end), in order: faster than
    // position() for a range.
    template <typename Take> void forPositions(std::size_t first, std::size_t end, const Take &take) const;
    // The first of points [first, end) not at a finite position, if any. Instances whose
    // numbers say they place every point finitely are passed by without placing them.
    std::optional<std::size_t> firstNotFinite(std::size_t first, std::size_t end) const;
    // The lowest and highest Y of points [first, end) ({inf, -inf} for none). Whole
    // instances whose steps keep Y apart from X and Z are told by the two points of the
    // blade they place lowest and highest: the same numbers, without placing the others.
    std::pair<double, double> heightRange(std::size_t first, std::size_t end) const;
    // `take(point, value)` for each point of [first, end), in order, with its own value in
    // the map (null for none): faster than pointValue() for a range.
    template <typename Take>
    void forPointValues(std::uint32_t key, std::size_t first, std::size_t end, const Take &take) const;
    std::uint8_t pointFlags(std::size_t point) const;
    // A polygon as its own mesh would hold it: firstVertex among the layer's corners.
    Polygon polygon(std::size_t polygon) const;
    // `take(index, polygon, points)` for each polygon of [first, end), in order: faster
    // than polygon() and pointsOf() for a range.
    template <typename Take> void forPolygons(std::size_t first, std::size_t end, const Take &take) const;
    PolygonPoints pointsOf(std::size_t polygon) const;
    std::uint32_t cornerPoint(std::size_t corner) const;

    // The maps in the order they were made on the layer.
    std::vector<LayerMap> maps() const;
    std::optional<LayerMap> findMap(std::uint32_t key) const;
    // A point's own value in the map, its value on one polygon alone, or either (the
    // polygon's first); null for none.
    const float *pointValue(std::uint32_t key, std::uint32_t point) const;
    const float *cornerValue(std::uint32_t key, std::uint32_t polygon, std::uint32_t point) const;
    const float *valueOn(std::uint32_t key, std::uint32_t polygon, std::uint32_t point) const;
    // Whether any point, or any corner, has a value in the map.
    bool holdsValues(std::uint32_t key) const;
    bool hasCornerValues(std::uint32_t key) const;
    // The polygon tag types in the order they were made; a polygon's value (0 for none).
    std::vector<std::uint32_t> tagTypes() const;
    bool hasTag(std::uint32_t type) const;
    std::uint32_t tagValue(std::uint32_t type, std::size_t polygon) const;

    // Pieces, in order, for work that goes a piece at a time.
    struct Piece {
        std::shared_ptr<Mesh> mesh;       // a mesh of its own, or
        std::shared_ptr<InstanceRun> run; // instances
        std::size_t firstPoint = 0, firstPolygon = 0, firstCorner = 0;
        std::size_t points() const;
        std::size_t polygons() const;
        std::size_t corners() const;
    };
    const std::vector<Piece> &pieces() const { return pieces_; }

    void clear();
    void swap(LayerMesh &other) noexcept;
    // Adds what `other` holds after the layer's own elements: its instances as instances,
    // and a mesh of its own as an instance of it (it is shared, not copied).
    void append(const LayerMesh &other);
    void append(const Mesh &other);
    // Adds one piece of another layer, shared as append() shares it.
    void appendPiece(const Piece &piece);
    void truncate(std::size_t points, std::size_t polygons, std::size_t corners);
    void erasePoints(std::size_t first, std::size_t count);
    void erasePolygons(std::size_t first, std::size_t count);

    void setPosition(std::size_t point, const Vec3 &position);
    void setPointFlags(std::size_t point, std::uint8_t flags);
    void setPolygonFlags(std::size_t polygon, std::uint8_t flags);
    void setPolygonSurface(std::size_t polygon, std::uint32_t surface);
    std::uint32_t addPoint(const Vec3 &position, std::uint8_t flags = 0);
    std::uint32_t addPolygon(std::uint32_t type, std::uint32_t surface, const std::uint32_t *indices,
                             std::uint32_t count, std::uint8_t flags = 0);
    // Makes the map on the layer's last mesh (on every point of it, with no values).
    void makeMap(const LayerMap &map);
    // Gives a point its own value in the map (made when missing), or takes it away (null).
    void setPointValue(const LayerMap &map, std::uint32_t point, const float *value, bool has = true);

    void translate(const Vec3 &offset);
    void scale(const Vec3 &factors, const Vec3 &centre);
    void rotate(int axis, double degrees, const Vec3 &centre);

    // The layer as one mesh of its own, every instance made a copy: for work that edits
    // maps and tags directly (reading a file into the layer, scattering on it).
    Mesh &flat();

private:
    struct Located {
        std::size_t piece;
        std::size_t local;
    };
    struct Found;
    template <typename First, typename Count>
    Located locate(std::size_t index, Found &found, const First &first, const Count &count) const;
    Located locatePoint(std::size_t point) const;
    Located locatePolygon(std::size_t polygon) const;
    Located locateCorner(std::size_t corner) const;
    // The mesh of the piece, copied first when another layer shares it.
    Mesh &ownMesh(std::size_t piece);
    InstanceRun &ownRun(std::size_t piece);
    // Makes the instance that holds the point (or polygon) a mesh of its own; returns its piece.
    std::size_t expandPoint(std::size_t point);
    std::size_t expandPolygon(std::size_t polygon);
    std::size_t expandInstance(std::size_t piece, std::size_t instance);
    // Makes the pieces from `first` on one mesh; returns its piece.
    std::size_t mergeFrom(std::size_t first);
    // A mesh piece at the end to add elements to.
    std::size_t tail();
    // A run to fill: the spare a clear left, else a new one. A planting makes and drops
    // one a blade (pasted into the work layer, cut, and dropped by the next copy).
    std::shared_ptr<InstanceRun> takeRun();
    void keepSpare(std::shared_ptr<InstanceRun> &&run);
    void appendInstances(const InstanceRun &run);
    // The pieces' first elements anew, after pieces came or went.
    void recount();
    // Where the pieces lie has changed: what the threads found out about it is stale.
    void restamp() { stamp_ = freshStamp(); }
    template <typename OnMesh> void transform(const OnMesh &onMesh, Step step, const double *numbers);

    std::vector<Piece> pieces_;
    std::uint64_t stamp_ = freshStamp(); // copies share it: their pieces lie alike
    std::shared_ptr<InstanceRun> spare_; // never shared, never copied
};

template <typename Take> void LayerMesh::forPositions(std::size_t first, std::size_t end, const Take &take) const
{
    if (first >= end)
        return;
    for (std::size_t p = locatePoint(first).piece; p < pieces_.size() && first < end; ++p) {
        const Piece &piece = pieces_[p];
        const std::size_t stop = std::min(end, piece.firstPoint + piece.points());
        if (piece.mesh) {
            for (std::size_t i = first; i < stop; ++i)
                take(i, piece.mesh->position(i - piece.firstPoint));
        } else {
            const std::size_t n = piece.run->blade->pointCount();
            std::size_t instance = (first - piece.firstPoint) / n;
            std::uint32_t point = static_cast<std::uint32_t>((first - piece.firstPoint) % n);
            const Vec3 *placed = piece.run->placed(instance);
            for (std::size_t i = first; i < stop; ++i) {
                take(i, placed != nullptr ? placed[point] : piece.run->placeOne(instance, point));
                if (++point == n && i + 1 < stop) {
                    point = 0;
                    placed = piece.run->placed(++instance);
                }
            }
        }
        first = stop;
    }
}

template <typename Take>
void LayerMesh::forPointValues(std::uint32_t key, std::size_t first, std::size_t end, const Take &take) const
{
    if (first >= end)
        return;
    for (std::size_t p = locatePoint(first).piece; p < pieces_.size() && first < end; ++p) {
        const Piece &piece = pieces_[p];
        const std::size_t stop = std::min(end, piece.firstPoint + piece.points());
        if (stop <= first)
            continue;
        const Mesh &mesh = piece.mesh ? *piece.mesh : *piece.run->blade;
        const PointMap *map = mesh.findMap(key);
        const std::size_t n = mesh.pointCount(); // an instance's points, one by one
        std::uint32_t point = static_cast<std::uint32_t>((first - piece.firstPoint) % n);
        for (std::size_t i = first; i < stop; ++i) {
            take(i, map != nullptr ? map->pointValue(point) : nullptr);
            if (++point == n)
                point = 0;
        }
        first = stop;
    }
}

template <typename Take> void LayerMesh::forPolygons(std::size_t first, std::size_t end, const Take &take) const
{
    if (first >= end)
        return;
    for (std::size_t p = locatePolygon(first).piece; p < pieces_.size() && first < end; ++p) {
        const Piece &piece = pieces_[p];
        const std::size_t stop = std::min(end, piece.firstPolygon + piece.polygons());
        const bool instances = !piece.mesh;
        const Mesh &mesh = instances ? *piece.run->blade : *piece.mesh;
        const std::size_t each = mesh.polygonCount(), local = first - piece.firstPolygon;
        std::size_t polygon = instances ? local % each : local;
        const std::size_t instance = instances ? local / each : 0;
        std::size_t pointBase = piece.firstPoint + instance * mesh.pointCount();
        std::size_t cornerBase = piece.firstCorner + instance * mesh.cornerCount();
        for (std::size_t i = first; i < stop; ++i) {
            Polygon found = mesh.polygon(polygon);
            const PolygonPoints points(mesh.cornerPoints() + found.firstVertex, found.vertexCount,
                                       static_cast<std::uint32_t>(pointBase));
            found.firstVertex += static_cast<std::uint32_t>(cornerBase);
            take(i, found, points);
            if (++polygon == each && instances) {
                polygon = 0;
                pointBase += mesh.pointCount();
                cornerBase += mesh.cornerCount();
            }
        }
        first = stop;
    }
}

// Copies the instances of a run into `into`, after what it holds.
void expandRun(const InstanceRun &run, std::size_t first, std::size_t count, Mesh &into);

inline std::optional<Vec3> polygonNormal(const LayerMesh &mesh, std::uint32_t polygon)
{
    return unitNormalOf(mesh, polygon);
}

} // namespace tuft::host
