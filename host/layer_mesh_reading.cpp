// Reading a layer of pieces: where an element lies, and instances' points placed.
#include "host/layer_mesh.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace tuft::host {

namespace {

const Mesh &meshOf(const LayerMesh::Piece &piece) { return piece.mesh ? *piece.mesh : *piece.run->blade; }

// What this thread placed last: an instance's points, for blades of up to kPlacedMost.
// Thread-local storage holds only what needs no destructor, which threads of every
// platform (MinGW's too) end safely.
constexpr std::size_t kPlacedMost = 256;
struct Placed {
    std::uint64_t stamp = 0;
    std::size_t instance = 0;
    Vec3 points[kPlacedMost];
};
thread_local Placed lastPlaced;

std::atomic<std::uint64_t> threadsStamping{0};

} // namespace

// Each thread counts in a range of its own: no two stamps alike, and no lock a stamp.
std::uint64_t freshStamp()
{
    thread_local std::uint64_t last = (threadsStamping.fetch_add(1) + 1) << 40;
    return ++last;
}

// Where this thread found an element of one kind last.
struct LayerMesh::Found {
    std::uint64_t stamp = 0;
    std::size_t piece = 0, first = 0, end = 0;
};

const Vec3 *InstanceRun::placed(std::size_t instance) const
{
    const std::size_t n = blade->pointCount();
    if (n > kPlacedMost)
        return nullptr;
    Placed &cache = lastPlaced;
    if (cache.stamp == stamp && cache.instance == instance)
        return cache.points;
    for (std::size_t i = 0; i < n; ++i)
        cache.points[i] = blade->position(i);
    const double *at = numbersOf(instance);
    for (const Step &step : steps) {
        applyStep(step, at, cache.points, n);
        at += step.numbers();
    }
    cache.stamp = stamp;
    cache.instance = instance;
    return cache.points;
}

Vec3 InstanceRun::placeOne(std::size_t instance, std::uint32_t point) const
{
    Vec3 p = blade->position(point);
    const double *at = numbersOf(instance);
    for (const Step &step : steps) {
        applyStep(step, at, &p, 1);
        at += step.numbers();
    }
    return p;
}

bool InstanceRun::placesFinitely(std::size_t firstInstance, std::size_t endInstance) const
{
    // The largest magnitude of each step's numbers (its centre's among them).
    std::vector<double> largest(steps.size(), 0.0);
    bool finite = true;
    for (std::size_t instance = firstInstance; instance < endInstance; ++instance) {
        const double *at = numbersOf(instance);
        for (std::size_t s = 0; s < steps.size(); ++s)
            for (const double *end = at + steps[s].numbers(); at < end; ++at) {
                largest[s] = std::max(largest[s], std::fabs(*at));
                finite = finite && std::isfinite(*at);
            }
    }
    double reach = 0; // no coordinate of a point is larger, step by step
    for (std::size_t point = 0; point < blade->pointCount(); ++point) {
        const Vec3 &p = blade->position(point);
        reach = std::max({reach, std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)});
    }
    if (!finite || !std::isfinite(reach))
        return false;
    for (std::size_t s = 0; s < steps.size(); ++s) {
        const double most = largest[s]; // a factor, cosine or sine, offset, or centre's coordinate
        if (steps[s].kind == Step::kMove)
            reach += most;
        else if (steps[s].kind == Step::kScale)
            reach = most + (reach + most) * most;
        else
            reach = most + 2 * (reach + most) * most;
    }
    constexpr double kFarEnough = 1e300; // well short of overflow, whatever the rounding
    return reach < kFarEnough;
}

namespace {

// Whether every step leaves a point's Y a function of its Y alone, rising or falling
// with it: the lowest and highest points of a blade are then placed lowest and highest.
bool keepsHeightApart(const InstanceRun &run)
{
    return std::all_of(run.steps.begin(), run.steps.end(),
                       [](const Step &step) { return step.kind != Step::kTurnX && step.kind != Step::kTurnZ; });
}

// The points of a run's blade that stand lowest and highest, found once a run and thread.
struct Extremes {
    std::uint64_t stamp = 0;
    std::uint32_t lowest = 0, highest = 0;
};
thread_local Extremes lastExtremes;

std::pair<std::uint32_t, std::uint32_t> lowestAndHighest(const InstanceRun &run)
{
    Extremes &found = lastExtremes;
    if (found.stamp != run.stamp) {
        const Mesh &blade = *run.blade;
        found = {run.stamp, 0, 0};
        for (std::uint32_t k = 1; k < blade.pointCount(); ++k) {
            found.lowest = blade.position(k).y < blade.position(found.lowest).y ? k : found.lowest;
            found.highest = blade.position(k).y > blade.position(found.highest).y ? k : found.highest;
        }
    }
    return {found.lowest, found.highest};
}

} // namespace

std::optional<std::size_t> LayerMesh::firstNotFinite(std::size_t first, std::size_t end) const
{
    if (first >= end)
        return std::nullopt;
    const auto finite = [](const Vec3 &p) { return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z); };
    for (std::size_t p = locatePoint(first).piece; p < pieces_.size() && first < end; ++p) {
        const Piece &piece = pieces_[p];
        const std::size_t stop = std::min(end, piece.firstPoint + piece.points());
        const std::size_t n = piece.run ? piece.run->blade->pointCount() : 0;
        const bool sure =
            n > 0 && piece.run->placesFinitely((first - piece.firstPoint) / n, (stop - piece.firstPoint + n - 1) / n);
        std::optional<std::size_t> bad;
        if (!sure)
            forPositions(first, stop, [&](std::size_t i, const Vec3 &position) {
                if (!bad && !finite(position))
                    bad = i;
            });
        if (bad)
            return bad;
        first = stop;
    }
    return std::nullopt;
}

std::pair<double, double> LayerMesh::heightRange(std::size_t first, std::size_t end) const
{
    double low = std::numeric_limits<double>::infinity(), high = -low;
    const auto widen = [&](double y) {
        low = std::min(low, y);
        high = std::max(high, y);
    };
    if (first >= end)
        return {low, high};
    for (std::size_t p = locatePoint(first).piece; p < pieces_.size() && first < end; ++p) {
        const Piece &piece = pieces_[p];
        const std::size_t stop = std::min(end, piece.firstPoint + piece.points());
        const std::size_t n = piece.run ? piece.run->blade->pointCount() : 0;
        if (n > 0 && keepsHeightApart(*piece.run) && (first - piece.firstPoint) % n == 0 &&
            (stop - piece.firstPoint) % n == 0) {
            const auto [lowest, highest] = lowestAndHighest(*piece.run);
            for (std::size_t i = (first - piece.firstPoint) / n; i < (stop - piece.firstPoint) / n; ++i) {
                widen(piece.run->placeOne(i, lowest).y);
                widen(piece.run->placeOne(i, highest).y);
            }
        } else {
            forPositions(first, stop, [&](std::size_t, const Vec3 &position) { widen(position.y); });
        }
        first = stop;
    }
    return {low, high};
}

std::size_t LayerMesh::Piece::points() const
{
    return mesh ? mesh->pointCount() : run->count * run->blade->pointCount();
}
std::size_t LayerMesh::Piece::polygons() const
{
    return mesh ? mesh->polygonCount() : run->count * run->blade->polygonCount();
}
std::size_t LayerMesh::Piece::corners() const
{
    return mesh ? mesh->cornerCount() : run->count * run->blade->cornerCount();
}

std::size_t LayerMesh::selectedPointCount() const
{
    std::size_t selected = 0;
    for (const Piece &piece : pieces_)
        selected +=
            piece.mesh ? piece.mesh->selectedPointCount() : piece.run->count * piece.run->blade->selectedPointCount();
    return selected;
}

std::size_t LayerMesh::selectedPolygonCount() const
{
    std::size_t selected = 0;
    for (const Piece &piece : pieces_)
        selected += piece.mesh ? piece.mesh->selectedPolygonCount()
                               : piece.run->count * piece.run->blade->selectedPolygonCount();
    return selected;
}

std::size_t LayerMesh::instanceCount() const
{
    std::size_t instances = 0;
    for (const Piece &piece : pieces_)
        instances += piece.run ? piece.run->count : 0;
    return instances;
}

template <typename First, typename Count>
LayerMesh::Located LayerMesh::locate(std::size_t index, Found &found, const First &first, const Count &count) const
{
    if (found.stamp == stamp_ && index >= found.first && index < found.end)
        return {found.piece, index - found.first};
    const auto after = std::upper_bound(pieces_.begin(), pieces_.end(), index,
                                        [&](std::size_t wanted, const Piece &p) { return wanted < first(p); });
    const std::size_t piece = static_cast<std::size_t>(after - pieces_.begin()) - 1;
    const std::size_t start = first(pieces_[piece]);
    found = {stamp_, piece, start, start + count(pieces_[piece])};
    return {piece, index - start};
}

LayerMesh::Located LayerMesh::locatePoint(std::size_t point) const
{
    static thread_local Found found;
    return locate(
        point, found, [](const Piece &p) { return p.firstPoint; }, [](const Piece &p) { return p.points(); });
}

LayerMesh::Located LayerMesh::locatePolygon(std::size_t polygon) const
{
    static thread_local Found found;
    return locate(
        polygon, found, [](const Piece &p) { return p.firstPolygon; }, [](const Piece &p) { return p.polygons(); });
}

LayerMesh::Located LayerMesh::locateCorner(std::size_t corner) const
{
    static thread_local Found found;
    return locate(
        corner, found, [](const Piece &p) { return p.firstCorner; }, [](const Piece &p) { return p.corners(); });
}

Vec3 LayerMesh::position(std::size_t point) const
{
    const Located at = locatePoint(point);
    const Piece &piece = pieces_[at.piece];
    if (piece.mesh)
        return piece.mesh->position(at.local);
    const std::size_t n = piece.run->blade->pointCount();
    return piece.run->place(at.local / n, static_cast<std::uint32_t>(at.local % n));
}

std::uint8_t LayerMesh::pointFlags(std::size_t point) const
{
    const Located at = locatePoint(point);
    const Piece &piece = pieces_[at.piece];
    if (piece.mesh)
        return piece.mesh->pointFlags(at.local);
    return piece.run->blade->pointFlags(at.local % piece.run->blade->pointCount());
}

Polygon LayerMesh::polygon(std::size_t index) const
{
    const Located at = locatePolygon(index);
    const Piece &piece = pieces_[at.piece];
    if (piece.mesh) {
        Polygon polygon = piece.mesh->polygon(at.local);
        polygon.firstVertex += static_cast<std::uint32_t>(piece.firstCorner);
        return polygon;
    }
    const Mesh &blade = *piece.run->blade;
    const std::size_t n = blade.polygonCount();
    Polygon polygon = blade.polygon(at.local % n);
    polygon.firstVertex += static_cast<std::uint32_t>(piece.firstCorner + at.local / n * blade.cornerCount());
    return polygon;
}

PolygonPoints LayerMesh::pointsOf(std::size_t index) const
{
    const Located at = locatePolygon(index);
    const Piece &piece = pieces_[at.piece];
    const Mesh &mesh = meshOf(piece);
    const std::size_t n = mesh.polygonCount();
    const Polygon &polygon = mesh.polygon(piece.mesh ? at.local : at.local % n);
    const std::size_t base = piece.firstPoint + (piece.mesh ? 0 : at.local / n * mesh.pointCount());
    return {mesh.cornerPoints() + polygon.firstVertex, polygon.vertexCount, static_cast<std::uint32_t>(base)};
}

std::uint32_t LayerMesh::cornerPoint(std::size_t corner) const
{
    const Located at = locateCorner(corner);
    const Piece &piece = pieces_[at.piece];
    if (piece.mesh)
        return piece.mesh->cornerPoint(at.local) + static_cast<std::uint32_t>(piece.firstPoint);
    const Mesh &blade = *piece.run->blade;
    const std::size_t n = blade.cornerCount();
    return blade.cornerPoint(at.local % n) +
           static_cast<std::uint32_t>(piece.firstPoint + at.local / n * blade.pointCount());
}

std::vector<LayerMap> LayerMesh::maps() const
{
    std::vector<LayerMap> maps;
    for (const Piece &piece : pieces_)
        for (const PointMap &map : meshOf(piece).pointMaps())
            if (std::none_of(maps.begin(), maps.end(), [&](const LayerMap &m) { return m.key == map.key; }))
                maps.push_back({map.key, map.type, map.dimension});
    return maps;
}

std::optional<LayerMap> LayerMesh::findMap(std::uint32_t key) const
{
    for (const Piece &piece : pieces_)
        if (const PointMap *map = meshOf(piece).findMap(key))
            return LayerMap{map->key, map->type, map->dimension};
    return std::nullopt;
}

const float *LayerMesh::pointValue(std::uint32_t key, std::uint32_t point) const
{
    const Located at = locatePoint(point);
    const Piece &piece = pieces_[at.piece];
    const Mesh &mesh = meshOf(piece);
    const PointMap *map = mesh.findMap(key);
    if (map == nullptr)
        return nullptr;
    return map->pointValue(static_cast<std::uint32_t>(piece.mesh ? at.local : at.local % mesh.pointCount()));
}

const float *LayerMesh::cornerValue(std::uint32_t key, std::uint32_t polygon, std::uint32_t point) const
{
    const Located at = locatePolygon(polygon);
    const Piece &piece = pieces_[at.piece];
    const Mesh &mesh = meshOf(piece);
    const PointMap *map = mesh.findMap(key);
    if (map == nullptr || map->corners.empty())
        return nullptr;
    if (piece.mesh)
        return map->cornerValue(static_cast<std::uint32_t>(at.local),
                                static_cast<std::uint32_t>(point - piece.firstPoint));
    const std::size_t instance = at.local / mesh.polygonCount();
    return map->cornerValue(static_cast<std::uint32_t>(at.local % mesh.polygonCount()),
                            static_cast<std::uint32_t>(point - piece.firstPoint - instance * mesh.pointCount()));
}

const float *LayerMesh::valueOn(std::uint32_t key, std::uint32_t polygon, std::uint32_t point) const
{
    if (const float *own = cornerValue(key, polygon, point))
        return own;
    return pointValue(key, point);
}

bool LayerMesh::holdsValues(std::uint32_t key) const
{
    for (const Piece &piece : pieces_) {
        const PointMap *map = meshOf(piece).findMap(key);
        if (map != nullptr &&
            (!map->corners.empty() || std::find(map->has.begin(), map->has.end(), 1) != map->has.end()))
            return true;
    }
    return false;
}

bool LayerMesh::hasCornerValues(std::uint32_t key) const
{
    for (const Piece &piece : pieces_) {
        const PointMap *map = meshOf(piece).findMap(key);
        if (map != nullptr && !map->corners.empty())
            return true;
    }
    return false;
}

std::vector<std::uint32_t> LayerMesh::tagTypes() const
{
    std::vector<std::uint32_t> types;
    for (const Piece &piece : pieces_)
        for (const PolygonTag &tag : meshOf(piece).polygonTags())
            if (std::find(types.begin(), types.end(), tag.type) == types.end())
                types.push_back(tag.type);
    return types;
}

bool LayerMesh::hasTag(std::uint32_t type) const
{
    for (const Piece &piece : pieces_)
        if (meshOf(piece).findTag(type) != nullptr)
            return true;
    return false;
}

std::uint32_t LayerMesh::tagValue(std::uint32_t type, std::size_t polygon) const
{
    const Located at = locatePolygon(polygon);
    const Piece &piece = pieces_[at.piece];
    const Mesh &mesh = meshOf(piece);
    const PolygonTag *tag = mesh.findTag(type);
    if (tag == nullptr)
        return 0;
    return tag->values[piece.mesh ? at.local : at.local % mesh.polygonCount()];
}

} // namespace tuft::host
