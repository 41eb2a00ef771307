#include "host/layer_mesh.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tuft::host {

namespace {

// A blade whose normals turn with it is pasted as a copy: instances replay positions only.
bool carriesNormals(const Mesh &mesh)
{
    const std::vector<PointMap> &maps = mesh.pointMaps();
    return std::any_of(maps.begin(), maps.end(), [](const PointMap &map) { return map.type == kNormalMap; });
}

bool holdsAnything(const Mesh &mesh)
{
    return !mesh.empty() || !mesh.pointMaps().empty() || !mesh.polygonTags().empty();
}

// The origin as the commands give it, bit for bit: a centre of -0 turns -0 results into +0
// and back, so only +0 may be left out of a placement.
bool isOrigin(const Vec3 &c)
{
    const Vec3 origin{0.0, 0.0, 0.0};
    return std::memcmp(&c, &origin, sizeof c) == 0;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// TUFT_EXPAND_PASTES=1 pastes copies, as a host without instances does: for tests and
// benchmarks that compare the two.
bool pastesCopies()
{
    static const bool copies = [] {
        const char *value = std::getenv("TUFT_EXPAND_PASTES");
        return value != nullptr && std::strcmp(value, "1") == 0;
    }();
    return copies;
}

// A run kept as the layer's spare holds a blade or a few, no more.
constexpr std::size_t kSmallRun = 4;

} // namespace

void expandRun(const InstanceRun &run, std::size_t first, std::size_t count, Mesh &into)
{
    const std::uint32_t points = static_cast<std::uint32_t>(run.blade->pointCount());
    for (std::size_t instance = first; instance < first + count; ++instance) {
        const std::size_t base = into.pointCount();
        into.append(*run.blade);
        for (std::uint32_t point = 0; point < points; ++point)
            into.setPosition(base + point, run.place(instance, point));
    }
}

void LayerMesh::recount()
{
    restamp();
    std::size_t points = 0, polygons = 0, corners = 0;
    for (Piece &piece : pieces_) {
        piece.firstPoint = points;
        piece.firstPolygon = polygons;
        piece.firstCorner = corners;
        points += piece.points();
        polygons += piece.polygons();
        corners += piece.corners();
    }
}

LayerMesh::LayerMesh(const LayerMesh &other) : pieces_(other.pieces_), stamp_(other.stamp_) {}

LayerMesh &LayerMesh::operator=(const LayerMesh &other)
{
    if (this != &other) {
        clear();
        pieces_ = other.pieces_;
        stamp_ = other.stamp_;
    }
    return *this;
}

void LayerMesh::clear()
{
    for (Piece &piece : pieces_)
        if (piece.run)
            keepSpare(std::move(piece.run));
    pieces_.clear();
    restamp();
}

void LayerMesh::swap(LayerMesh &other) noexcept
{
    pieces_.swap(other.pieces_);
    std::swap(stamp_, other.stamp_);
    spare_.swap(other.spare_);
}

std::shared_ptr<InstanceRun> LayerMesh::takeRun()
{
    if (!spare_)
        return std::make_shared<InstanceRun>();
    std::shared_ptr<InstanceRun> run = std::move(spare_);
    run->stamp = freshStamp();
    return run;
}

void LayerMesh::keepSpare(std::shared_ptr<InstanceRun> &&run)
{
    if (spare_ || run.use_count() != 1 || run->first + run->count > kSmallRun)
        return;
    run->blade.reset();
    run->steps.clear();
    run->numbers.clear();
    run->stride = run->first = run->count = 0;
    spare_ = std::move(run);
}

Mesh &LayerMesh::ownMesh(std::size_t piece)
{
    std::shared_ptr<Mesh> &mesh = pieces_[piece].mesh;
    if (mesh.use_count() > 1)
        mesh = std::make_shared<Mesh>(*mesh);
    return *mesh;
}

InstanceRun &LayerMesh::ownRun(std::size_t piece)
{
    std::shared_ptr<InstanceRun> &run = pieces_[piece].run;
    if (run.use_count() > 1)
        run = std::make_shared<InstanceRun>(*run);
    run->stamp = freshStamp();
    return *run;
}

void LayerMesh::append(const LayerMesh &other)
{
    if (&other == this) {
        const LayerMesh copy = other;
        append(copy);
        return;
    }
    if (pastesCopies()) {
        Mesh &into = ownMesh(tail());
        for (const Piece &piece : other.pieces_) {
            if (piece.mesh)
                into.append(*piece.mesh);
            else
                expandRun(*piece.run, 0, piece.run->count, into);
        }
        return;
    }
    for (const Piece &piece : other.pieces_)
        appendPiece(piece);
}

void LayerMesh::append(const Mesh &other)
{
    const std::size_t piece = tail();
    ownMesh(piece).append(other);
}

void LayerMesh::appendPiece(const Piece &piece)
{
    if (piece.run) {
        appendInstances(*piece.run);
        return;
    }
    if (!holdsAnything(*piece.mesh))
        return;
    if (carriesNormals(*piece.mesh)) {
        Piece shared;
        shared.mesh = piece.mesh;
        pieces_.push_back(shared);
        recount();
        return;
    }
    InstanceRun one;
    one.blade = piece.mesh;
    one.count = 1;
    appendInstances(one);
}

void LayerMesh::appendInstances(const InstanceRun &run)
{
    if (run.count == 0)
        return;
    if (!pieces_.empty() && pieces_.back().run && pieces_.back().run.use_count() == 1) {
        InstanceRun &last = *pieces_.back().run;
        if (last.blade == run.blade && last.steps == run.steps) {
            last.numbers.append(run.numbersOf(0), run.count * run.stride);
            last.count += run.count;
            return;
        }
        // A blade scaled alike on all axes by chance, among blades that are not.
        if (last.blade == run.blade && widensTo(run.steps, last.steps)) {
            for (std::size_t i = 0; i < run.count; ++i)
                appendWidened(run.steps, run.numbersOf(i), last.steps, last.numbers);
            last.count += run.count;
            return;
        }
    }
    std::shared_ptr<InstanceRun> made = takeRun();
    made->blade = run.blade;
    made->steps = run.steps;
    made->stride = run.stride;
    made->numbers.append(run.numbersOf(0), run.count * run.stride);
    made->count = run.count;
    Piece piece;
    piece.run = std::move(made);
    pieces_.push_back(std::move(piece));
    recount();
}

std::size_t LayerMesh::tail()
{
    if (pieces_.empty() || !pieces_.back().mesh) {
        Piece piece;
        piece.mesh = std::make_shared<Mesh>();
        pieces_.push_back(std::move(piece));
        recount();
    }
    return pieces_.size() - 1;
}

std::size_t LayerMesh::expandInstance(std::size_t pieceIndex, std::size_t instance)
{
    const InstanceRun &run = *pieces_[pieceIndex].run;
    // The first instance joins a mesh piece before it, which keeps the pieces few when
    // instances are taken out in order.
    if (instance == 0 && pieceIndex > 0 && pieces_[pieceIndex - 1].mesh) {
        expandRun(run, 0, 1, ownMesh(pieceIndex - 1));
        InstanceRun &rest = ownRun(pieceIndex);
        ++rest.first;
        if (--rest.count == 0)
            pieces_.erase(pieces_.begin() + static_cast<std::ptrdiff_t>(pieceIndex));
        recount();
        return pieceIndex - 1;
    }
    Piece expanded;
    expanded.mesh = std::make_shared<Mesh>();
    expandRun(run, instance, 1, *expanded.mesh);
    Piece after;
    if (instance + 1 < run.count) {
        after.run = takeRun();
        after.run->blade = run.blade;
        after.run->steps = run.steps;
        after.run->stride = run.stride;
        after.run->count = run.count - instance - 1;
        after.run->numbers.append(run.numbersOf(instance + 1), after.run->count * run.stride);
    }
    std::size_t at = pieceIndex;
    if (instance > 0) {
        InstanceRun &before = ownRun(pieceIndex);
        before.count = instance;
        before.numbers.resize((before.first + before.count) * before.stride);
        ++at;
        pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(at), std::move(expanded));
    } else {
        pieces_[at] = std::move(expanded);
    }
    if (after.run)
        pieces_.insert(pieces_.begin() + static_cast<std::ptrdiff_t>(at + 1), std::move(after));
    recount();
    return at;
}

std::size_t LayerMesh::expandPoint(std::size_t point)
{
    const Located at = locatePoint(point);
    const Piece &piece = pieces_[at.piece];
    return piece.mesh ? at.piece : expandInstance(at.piece, at.local / piece.run->blade->pointCount());
}

std::size_t LayerMesh::expandPolygon(std::size_t polygon)
{
    const Located at = locatePolygon(polygon);
    const Piece &piece = pieces_[at.piece];
    return piece.mesh ? at.piece : expandInstance(at.piece, at.local / piece.run->blade->polygonCount());
}

std::size_t LayerMesh::mergeFrom(std::size_t first)
{
    if (first + 1 == pieces_.size() && pieces_[first].mesh)
        return first;
    std::shared_ptr<Mesh> merged;
    if (pieces_[first].mesh) {
        ownMesh(first);
        merged = pieces_[first].mesh;
    } else {
        merged = std::make_shared<Mesh>();
        expandRun(*pieces_[first].run, 0, pieces_[first].run->count, *merged);
    }
    for (std::size_t p = first + 1; p < pieces_.size(); ++p) {
        if (pieces_[p].mesh)
            merged->append(*pieces_[p].mesh);
        else
            expandRun(*pieces_[p].run, 0, pieces_[p].run->count, *merged);
    }
    pieces_.resize(first + 1);
    pieces_[first].mesh = std::move(merged);
    pieces_[first].run.reset();
    recount();
    return first;
}

Mesh &LayerMesh::flat()
{
    if (pieces_.empty())
        return ownMesh(tail());
    return ownMesh(mergeFrom(0));
}

void LayerMesh::truncate(std::size_t points, std::size_t polygons, std::size_t corners)
{
    while (!pieces_.empty()) {
        const Piece &last = pieces_.back();
        if (last.firstPoint < points || last.firstPolygon < polygons || last.firstCorner < corners)
            break;
        pieces_.pop_back();
        restamp();
    }
    if (pieces_.empty())
        return;
    const std::size_t lastIndex = pieces_.size() - 1;
    const Piece &last = pieces_[lastIndex];
    if (last.firstPoint + last.points() <= points && last.firstPolygon + last.polygons() <= polygons &&
        last.firstCorner + last.corners() <= corners)
        return;
    if (last.run) {
        const Mesh &blade = *last.run->blade;
        const std::size_t whole = (points - last.firstPoint) / std::max<std::size_t>(1, blade.pointCount());
        if (whole * blade.pointCount() == points - last.firstPoint &&
            whole * blade.polygonCount() == polygons - last.firstPolygon &&
            whole * blade.cornerCount() == corners - last.firstCorner) {
            InstanceRun &run = ownRun(lastIndex);
            run.count = whole;
            run.numbers.resize((run.first + run.count) * run.stride);
            return;
        }
        mergeFrom(lastIndex);
    }
    const Piece &piece = pieces_[lastIndex];
    ownMesh(lastIndex).truncate(points - piece.firstPoint, polygons - piece.firstPolygon, corners - piece.firstCorner);
}

void LayerMesh::erasePoints(std::size_t first, std::size_t count)
{
    if (count == 0)
        return;
    if (first + count > pointCount())
        throw std::out_of_range("erasing points " + std::to_string(first) + " to " + std::to_string(first + count) +
                                " of " + std::to_string(pointCount()));
    Located at = locatePoint(first);
    if (!pieces_[at.piece].mesh || at.local + count > pieces_[at.piece].points())
        at.piece = mergeFrom(at.piece);
    ownMesh(at.piece).erasePoints(first - pieces_[at.piece].firstPoint, count);
    recount();
}

void LayerMesh::erasePolygons(std::size_t first, std::size_t count)
{
    const std::size_t polygons = polygonCount();
    if (first > polygons || count > polygons - first)
        throw std::out_of_range("erasing polygons " + std::to_string(first) + " to " + std::to_string(first + count) +
                                " of " + std::to_string(polygons));
    if (count == 0)
        return;
    Located at = locatePolygon(first);
    if (!pieces_[at.piece].mesh || at.local + count > pieces_[at.piece].polygons())
        at.piece = mergeFrom(at.piece);
    ownMesh(at.piece).erasePolygons(first - pieces_[at.piece].firstPolygon, count);
    recount();
}

void LayerMesh::setPosition(std::size_t point, const Vec3 &position)
{
    const std::size_t piece = expandPoint(point);
    ownMesh(piece).setPosition(point - pieces_[piece].firstPoint, position);
}

void LayerMesh::setPointFlags(std::size_t point, std::uint8_t flags)
{
    if (pointFlags(point) == flags)
        return;
    const std::size_t piece = expandPoint(point);
    ownMesh(piece).setPointFlags(point - pieces_[piece].firstPoint, flags);
}

void LayerMesh::setPolygonFlags(std::size_t polygon, std::uint8_t flags)
{
    if (this->polygon(polygon).flags == flags)
        return;
    const std::size_t piece = expandPolygon(polygon);
    ownMesh(piece).setPolygonFlags(polygon - pieces_[piece].firstPolygon, flags);
}

void LayerMesh::setPolygonSurface(std::size_t polygon, std::uint32_t surface)
{
    if (this->polygon(polygon).surface == surface)
        return;
    const std::size_t piece = expandPolygon(polygon);
    ownMesh(piece).setPolygonSurface(polygon - pieces_[piece].firstPolygon, surface);
}

std::uint32_t LayerMesh::addPoint(const Vec3 &position, std::uint8_t flags)
{
    const std::size_t piece = tail();
    return static_cast<std::uint32_t>(pieces_[piece].firstPoint + ownMesh(piece).addPoint(position, flags));
}

std::uint32_t LayerMesh::addPolygon(std::uint32_t type, std::uint32_t surface, const std::uint32_t *indices,
                                    std::uint32_t count, std::uint8_t flags)
{
    const std::size_t points = pointCount();
    std::uint32_t lowest = ~std::uint32_t(0);
    for (std::uint32_t k = 0; k < count; ++k) {
        if (indices[k] >= points)
            throw std::out_of_range("a polygon of point " + std::to_string(indices[k]) + " of " +
                                    std::to_string(points));
        lowest = std::min(lowest, indices[k]);
    }
    std::size_t piece = tail();
    if (count > 0 && lowest < pieces_[piece].firstPoint)
        piece = mergeFrom(locatePoint(lowest).piece); // a polygon joins points of one piece
    const std::uint32_t base = static_cast<std::uint32_t>(pieces_[piece].firstPoint);
    std::vector<std::uint32_t> local(indices, indices + count);
    for (std::uint32_t &point : local)
        point -= base;
    const std::uint32_t index = ownMesh(piece).addPolygon(type, surface, local.data(), count, flags);
    return static_cast<std::uint32_t>(pieces_[piece].firstPolygon + index);
}

void LayerMesh::makeMap(const LayerMap &map) { ownMesh(tail()).mapFor(map.key, map.type, map.dimension); }

void LayerMesh::setPointValue(const LayerMap &map, std::uint32_t point, const float *value, bool has)
{
    const std::size_t piece = expandPoint(point);
    PointMap &target = ownMesh(piece).mapFor(map.key, map.type, map.dimension);
    const std::size_t local = point - pieces_[piece].firstPoint;
    std::memcpy(&target.values[local * map.dimension], value, sizeof(float) * map.dimension);
    target.has[local] = has ? 1 : 0;
}

template <typename OnMesh> void LayerMesh::transform(const OnMesh &onMesh, Step step, const double *numbers)
{
    const std::size_t added = step.numbers();
    for (std::size_t p = 0; p < pieces_.size(); ++p) {
        if (pieces_[p].mesh) {
            onMesh(ownMesh(p));
            continue;
        }
        InstanceRun &run = ownRun(p);
        run.steps.push_back(step);
        if (run.count == 1 && run.first == 0) { // a blade on its way: nothing to spread out
            run.numbers.append(numbers, added);
            run.stride += added;
            continue;
        }
        FlatArray<double> longer;
        longer.reserve(run.count * (run.stride + added));
        for (std::size_t i = 0; i < run.count; ++i) {
            longer.append(run.numbersOf(i), run.stride);
            longer.append(numbers, added);
        }
        run.numbers.swap(longer);
        run.first = 0;
        run.stride += added;
    }
}

void LayerMesh::translate(const Vec3 &offset)
{
    const bool level = sameBits(offset.y, 0.0);
    const double full[] = {offset.x, offset.y, offset.z}, compact[] = {offset.x, offset.z};
    transform([&](Mesh &mesh) { mesh.translate(offset); }, {Step::kMove, false, level}, level ? compact : full);
}

void LayerMesh::scale(const Vec3 &f, const Vec3 &c)
{
    const bool uniform = sameBits(f.x, f.y) && sameBits(f.x, f.z);
    const double full[] = {f.x, f.y, f.z, c.x, c.y, c.z}, compact[] = {f.x, c.x, c.y, c.z};
    transform([&](Mesh &mesh) { mesh.scale(f, c); }, {Step::kScale, !isOrigin(c), uniform}, uniform ? compact : full);
}

void LayerMesh::rotate(int axis, double degrees, const Vec3 &c)
{
    const Turn t = turnOf(degrees);
    const double numbers[] = {t.cs, t.sn, c.x, c.y, c.z};
    const Step::Kind kind = axis == 0 ? Step::kTurnX : axis == 1 ? Step::kTurnY : Step::kTurnZ;
    transform([&](Mesh &mesh) { mesh.rotate(axis, degrees, c); }, {kind, !isOrigin(c)}, numbers);
}

} // namespace tuft::host
