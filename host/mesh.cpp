#include "host/mesh.h"

#include "host/placement.h"
#include "host/trigonometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tuft::host {

namespace {

// Makes every tag and map hold a value for every polygon and point.
void padTags(std::vector<PolygonTag> &tags, std::size_t polygons)
{
    for (PolygonTag &tag : tags)
        tag.values.resize(polygons, 0);
}

template <typename Turn> void turnNormals(std::vector<PointMap> &maps, const Turn &turn)
{
    for (PointMap &map : maps) {
        if (map.type != kNormalMap || map.dimension != 3)
            continue;
        for (std::size_t i = 0; i + 2 < map.values.size(); i += 3)
            turn(&map.values[i]);
        for (CornerValue &corner : map.corners)
            turn(corner.value);
    }
}

void normalize(float *n)
{
    const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    if (length > 0.0 && std::isfinite(length))
        for (int i = 0; i < 3; ++i)
            n[i] = static_cast<float>(n[i] / length);
}

} // namespace

const float *PointMap::cornerValue(std::uint32_t polygon, std::uint32_t point) const
{
    const CornerValue *first =
        std::lower_bound(corners.begin(), corners.end(), polygon,
                         [](const CornerValue &corner, std::uint32_t wanted) { return corner.polygon < wanted; });
    for (const CornerValue *c = first; c != corners.end() && c->polygon == polygon; ++c)
        if (c->point == point)
            return c->value;
    return nullptr;
}

const float *PointMap::valueOn(std::uint32_t polygon, std::uint32_t point) const
{
    if (const float *own = corners.empty() ? nullptr : cornerValue(polygon, point))
        return own;
    return point < has.size() && has[point] ? &values[std::size_t(point) * dimension] : nullptr;
}

std::size_t Mesh::selectedPointCount() const
{
    std::size_t selected = 0;
    for (std::uint8_t flags : pointFlags_)
        selected += flags & 1u;
    return selected;
}

std::size_t Mesh::selectedPolygonCount() const
{
    std::size_t selected = 0;
    for (const Polygon &polygon : polygons_)
        selected += polygon.flags & 1u;
    return selected;
}

void Mesh::clear()
{
    positions_.clear();
    pointFlags_.clear();
    polygons_.clear();
    vertices_.clear();
    for (PointMap &map : maps_) {
        map.values.clear();
        map.has.clear();
        map.corners.clear();
    }
    for (PolygonTag &tag : tags_)
        tag.values.clear();
}

void Mesh::swap(Mesh &other) noexcept
{
    positions_.swap(other.positions_);
    pointFlags_.swap(other.pointFlags_);
    polygons_.swap(other.polygons_);
    vertices_.swap(other.vertices_);
    maps_.swap(other.maps_);
    mapSlots_.swap(other.mapSlots_);
    tags_.swap(other.tags_);
}

void Mesh::append(const Mesh &other)
{
    const std::size_t points = positions_.size();
    const std::size_t vertexBase = vertices_.size();
    const std::size_t firstPolygon = polygons_.size();
    // Maps first, while mapFor still sizes a new map by the points before the paste.
    for (const PointMap &source : other.maps_) {
        PointMap &target = mapFor(source.key, source.type, source.dimension);
        target.values.append(source.values.data(), source.values.size());
        target.has.append(source.has.data(), source.has.size());
        for (CornerValue corner : source.corners) {
            corner.polygon += static_cast<std::uint32_t>(firstPolygon);
            corner.point += static_cast<std::uint32_t>(points);
            target.corners.push_back(corner);
        }
    }
    positions_.append(other.positions_.data(), other.positions_.size());
    pointFlags_.append(other.pointFlags_.data(), other.pointFlags_.size());
    // Maps the pasted points do not carry get no values for them.
    for (PointMap &map : maps_) {
        map.values.resize(positions_.size() * map.dimension, 0.0f);
        map.has.resize(positions_.size(), 0);
    }

    // The copies refer to the pasted points and vertices (local pointers and counts let
    // the compiler turn these loops into vector code).
    polygons_.append(other.polygons_.data(), other.polygons_.size());
    Polygon *pasted = polygons_.data() + firstPolygon;
    for (std::size_t i = 0, n = other.polygons_.size(); i < n; ++i)
        pasted[i].firstVertex += static_cast<std::uint32_t>(vertexBase);
    vertices_.append(other.vertices_.data(), other.vertices_.size());
    std::uint32_t *indices = vertices_.data() + vertexBase;
    for (std::size_t i = 0, n = other.vertices_.size(); i < n; ++i)
        indices[i] += static_cast<std::uint32_t>(points);

    for (const PolygonTag &source : other.tags_) {
        PolygonTag &target = tagFor(source.type);
        target.values.resize(firstPolygon, 0);
        target.values.append(source.values.data(), source.values.size());
    }
    padTags(tags_, polygons_.size());
}

void Mesh::truncate(std::size_t points, std::size_t polygonCount, std::size_t vertexCount)
{
    positions_.resize(points);
    pointFlags_.resize(points);
    polygons_.resize(polygonCount);
    vertices_.resize(vertexCount);
    for (PointMap &map : maps_) {
        map.values.resize(points * map.dimension);
        map.has.resize(points);
        std::size_t kept = 0;
        for (const CornerValue &corner : map.corners)
            if (corner.polygon < polygonCount && corner.point < points)
                map.corners[kept++] = corner;
        map.corners.resize(kept);
    }
    for (PolygonTag &tag : tags_)
        tag.values.resize(polygonCount);
}

void Mesh::erasePoints(std::size_t first, std::size_t count)
{
    if (count == 0)
        return;
    for (std::uint32_t point : vertices_)
        if (point >= first && point < first + count)
            throw std::invalid_argument("erasing point " + std::to_string(point) + ", which a polygon uses");
    positions_.erase(first, count);
    pointFlags_.erase(first, count);
    const auto moved = [&](std::uint32_t &point) {
        if (point >= first + count)
            point -= static_cast<std::uint32_t>(count);
    };
    for (std::uint32_t &point : vertices_)
        moved(point);
    for (PointMap &map : maps_) {
        map.values.erase(first * map.dimension, count * map.dimension);
        map.has.erase(first, count);
        std::size_t kept = 0;
        for (CornerValue corner : map.corners)
            if (corner.point < first || corner.point >= first + count) {
                moved(corner.point);
                map.corners[kept++] = corner;
            }
        map.corners.resize(kept);
    }
}

void Mesh::erasePolygons(std::size_t first, std::size_t count)
{
    if (first > polygons_.size() || count > polygons_.size() - first)
        throw std::out_of_range("erasing polygons " + std::to_string(first) + " to " + std::to_string(first + count) +
                                " of " + std::to_string(polygons_.size()));
    if (count == 0)
        return;
    // A polygon's corners follow those of the polygon before it.
    const Polygon &last = polygons_[first + count - 1];
    const std::size_t firstCorner = polygons_[first].firstVertex;
    const std::size_t corners = last.firstVertex + last.vertexCount - firstCorner;
    vertices_.erase(firstCorner, corners);
    polygons_.erase(first, count);
    for (std::size_t p = first; p < polygons_.size(); ++p)
        polygons_[p].firstVertex -= static_cast<std::uint32_t>(corners);
    for (PolygonTag &tag : tags_)
        tag.values.erase(first, count);
    for (PointMap &map : maps_) {
        std::size_t kept = 0;
        for (CornerValue corner : map.corners) {
            if (corner.polygon >= first && corner.polygon < first + count)
                continue;
            if (corner.polygon >= first + count)
                corner.polygon -= static_cast<std::uint32_t>(count);
            map.corners[kept++] = corner;
        }
        map.corners.resize(kept);
    }
}

std::uint32_t Mesh::addPoint(const Vec3 &position, std::uint8_t flags)
{
    positions_.push_back(position);
    pointFlags_.push_back(flags);
    for (PointMap &map : maps_) {
        map.values.resize(positions_.size() * map.dimension, 0.0f);
        map.has.push_back(0);
    }
    return static_cast<std::uint32_t>(positions_.size() - 1);
}

std::uint32_t Mesh::addPolygon(std::uint32_t type, std::uint32_t surface, const std::uint32_t *indices,
                               std::uint32_t count, std::uint8_t flags)
{
    for (std::uint32_t k = 0; k < count; ++k)
        if (indices[k] >= positions_.size())
            throw std::out_of_range("a polygon of point " + std::to_string(indices[k]) + " of " +
                                    std::to_string(positions_.size()));
    polygons_.push_back({static_cast<std::uint32_t>(vertices_.size()), count, type, surface, flags});
    vertices_.append(indices, count);
    for (PolygonTag &tag : tags_)
        tag.values.push_back(0);
    return static_cast<std::uint32_t>(polygons_.size() - 1);
}

PointMap *Mesh::findMap(std::uint32_t key)
{
    return key < mapSlots_.size() && mapSlots_[key] >= 0 ? &maps_[static_cast<std::size_t>(mapSlots_[key])] : nullptr;
}

const PointMap *Mesh::findMap(std::uint32_t key) const { return const_cast<Mesh *>(this)->findMap(key); }

PointMap &Mesh::mapFor(std::uint32_t key, std::uint32_t type, int dimension)
{
    if (PointMap *map = findMap(key))
        return *map;
    if (key >= mapSlots_.size())
        mapSlots_.resize(std::size_t(key) + 1, -1);
    mapSlots_[key] = static_cast<std::int32_t>(maps_.size());
    maps_.push_back(PointMap{key, type, dimension, {}, {}, {}});
    PointMap &map = maps_.back();
    map.values.assign(positions_.size() * dimension, 0.0f);
    map.has.assign(positions_.size(), 0);
    return map;
}

void Mesh::setCornerValue(PointMap &map, std::uint32_t polygon, std::uint32_t point, const float *value)
{
    CornerValue corner{polygon, point, {0, 0, 0, 0}};
    std::memcpy(corner.value, value, sizeof(float) * map.dimension);
    map.corners.push_back(corner);
    // Kept in polygon order: a value for an earlier polygon moves back to its place.
    CornerValue *end = map.corners.end();
    std::rotate(std::upper_bound(map.corners.begin(), end - 1, polygon,
                                 [](std::uint32_t wanted, const CornerValue &c) { return wanted < c.polygon; }),
                end - 1, end);
}

const PolygonTag *Mesh::findTag(std::uint32_t type) const
{
    for (const PolygonTag &tag : tags_)
        if (tag.type == type)
            return &tag;
    return nullptr;
}

PolygonTag &Mesh::tagFor(std::uint32_t type)
{
    if (const PolygonTag *tag = findTag(type))
        return const_cast<PolygonTag &>(*tag);
    tags_.push_back(PolygonTag{type, {}});
    tags_.back().values.assign(polygons_.size(), 0);
    return tags_.back();
}

void Mesh::translate(const Vec3 &offset)
{
    for (Vec3 &p : positions_)
        movePoint(p, offset);
}

void Mesh::scale(const Vec3 &f, const Vec3 &c)
{
    for (Vec3 &p : positions_)
        scalePoint(p, f, c);
    // A normal follows the surface by the scale's cofactors, which keep it on the side
    // the polygons' winding faces, mirrored or not.
    turnNormals(maps_, [&f](float *n) {
        const double x = n[0] * f.y * f.z, y = n[1] * f.x * f.z, z = n[2] * f.x * f.y;
        n[0] = static_cast<float>(x);
        n[1] = static_cast<float>(y);
        n[2] = static_cast<float>(z);
        normalize(n);
    });
}

Turn turnOf(double degrees)
{
    const double radians = degrees * (3.141592653589793 / 180.0);
    return {portableCos(radians), portableSin(radians)};
}

void Mesh::rotate(int axis, double degrees, const Vec3 &c)
{
    const Turn t = turnOf(degrees);
    const double cs = t.cs, sn = t.sn;
    // One loop per axis: the axis is chosen once, not for every point.
    switch (axis) {
    case 0:
        for (Vec3 &p : positions_)
            turnAboutX(p, t, c);
        turnNormals(maps_, [&](float *n) {
            const double y = n[1], z = n[2];
            n[1] = static_cast<float>(y * cs + z * sn);
            n[2] = static_cast<float>(-y * sn + z * cs);
        });
        break;
    case 1:
        for (Vec3 &p : positions_)
            turnAboutY(p, t, c);
        turnNormals(maps_, [&](float *n) {
            const double x = n[0], z = n[2];
            n[0] = static_cast<float>(x * cs - z * sn);
            n[2] = static_cast<float>(x * sn + z * cs);
        });
        break;
    default:
        for (Vec3 &p : positions_)
            turnAboutZ(p, t, c);
        turnNormals(maps_, [&](float *n) {
            const double x = n[0], y = n[1];
            n[0] = static_cast<float>(x * cs + y * sn);
            n[1] = static_cast<float>(-x * sn + y * cs);
        });
        break;
    }
}

} // namespace tuft::host
