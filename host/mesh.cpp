#include "host/mesh.h"

#include <cmath>

namespace tuft::host {

void Mesh::clear()
{
    positions.clear();
    pointFlags.clear();
    polygons.clear();
    vertices.clear();
    for (PointMap &map : maps) {
        map.values.clear();
        map.has.clear();
    }
}

void Mesh::swap(Mesh &other) noexcept
{
    positions.swap(other.positions);
    pointFlags.swap(other.pointFlags);
    polygons.swap(other.polygons);
    vertices.swap(other.vertices);
    maps.swap(other.maps);
}

void Mesh::append(const Mesh &other)
{
    const std::size_t points = positions.size();
    const std::size_t vertexBase = vertices.size();
    // Maps first, while mapFor still sizes a new map by the points before the paste.
    for (const PointMap &source : other.maps) {
        PointMap &target = mapFor(source.key, source.dimension);
        target.values.append(source.values.data(), source.values.size());
        target.has.append(source.has.data(), source.has.size());
    }
    positions.append(other.positions.data(), other.positions.size());
    pointFlags.append(other.pointFlags.data(), other.pointFlags.size());
    // Maps the pasted points do not carry get no values for them.
    for (PointMap &map : maps) {
        map.values.resize(positions.size() * map.dimension, 0.0f);
        map.has.resize(positions.size(), 0);
    }

    // The copies refer to the pasted points and vertices (local pointers and counts let
    // the compiler turn these loops into vector code).
    const std::size_t firstPolygon = polygons.size();
    polygons.append(other.polygons.data(), other.polygons.size());
    Polygon *pasted = polygons.data() + firstPolygon;
    for (std::size_t i = 0, n = other.polygons.size(); i < n; ++i)
        pasted[i].firstVertex += static_cast<std::uint32_t>(vertexBase);
    vertices.append(other.vertices.data(), other.vertices.size());
    std::uint32_t *indices = vertices.data() + vertexBase;
    for (std::size_t i = 0, n = other.vertices.size(); i < n; ++i)
        indices[i] += static_cast<std::uint32_t>(points);
}

void Mesh::truncate(std::size_t points, std::size_t polygonCount, std::size_t vertexCount)
{
    positions.resize(points);
    pointFlags.resize(points);
    polygons.resize(polygonCount);
    vertices.resize(vertexCount);
    for (PointMap &map : maps) {
        map.values.resize(points * map.dimension);
        map.has.resize(points);
    }
}

std::uint32_t Mesh::addPoint(const Vec3 &position, std::uint8_t flags)
{
    positions.push_back(position);
    pointFlags.push_back(flags);
    for (PointMap &map : maps) {
        map.values.resize(positions.size() * map.dimension, 0.0f);
        map.has.push_back(0);
    }
    return static_cast<std::uint32_t>(positions.size() - 1);
}

std::uint32_t Mesh::addPolygon(std::uint32_t type, std::uint32_t surface, const std::uint32_t *indices,
                               std::uint32_t count, std::uint8_t flags)
{
    polygons.push_back({static_cast<std::uint32_t>(vertices.size()), count, type, surface, flags});
    vertices.append(indices, count);
    return static_cast<std::uint32_t>(polygons.size() - 1);
}

PointMap *Mesh::findMap(std::uint32_t key)
{
    for (PointMap &map : maps)
        if (map.key == key)
            return &map;
    return nullptr;
}

const PointMap *Mesh::findMap(std::uint32_t key) const { return const_cast<Mesh *>(this)->findMap(key); }

PointMap &Mesh::mapFor(std::uint32_t key, int dimension)
{
    if (PointMap *map = findMap(key))
        return *map;
    maps.push_back(PointMap{key, dimension, {}, {}});
    PointMap &map = maps.back();
    map.values.assign(positions.size() * dimension, 0.0f);
    map.has.assign(positions.size(), 0);
    return map;
}

void Mesh::translate(const Vec3 &offset)
{
    for (Vec3 &p : positions) {
        p.x += offset.x;
        p.y += offset.y;
        p.z += offset.z;
    }
}

void Mesh::scale(const Vec3 &f, const Vec3 &c)
{
    for (Vec3 &p : positions) {
        p.x = c.x + (p.x - c.x) * f.x;
        p.y = c.y + (p.y - c.y) * f.y;
        p.z = c.z + (p.z - c.z) * f.z;
    }
}

void Mesh::rotate(int axis, double degrees, const Vec3 &c)
{
    const double radians = degrees * (3.141592653589793 / 180.0);
    const double cs = std::cos(radians);
    const double sn = std::sin(radians);
    // One loop per axis: the axis is chosen once, not for every point.
    switch (axis) {
    case 0: // left-hand rule: +90 about X takes +Y to -Z, about Z it takes +Y to +X
        for (Vec3 &p : positions) {
            const double y = p.y - c.y;
            const double z = p.z - c.z;
            p.y = c.y + y * cs + z * sn;
            p.z = c.z - y * sn + z * cs;
        }
        break;
    case 1:
        for (Vec3 &p : positions) {
            const double x = p.x - c.x;
            const double z = p.z - c.z;
            p.x = c.x + x * cs - z * sn;
            p.z = c.z + x * sn + z * cs;
        }
        break;
    default:
        for (Vec3 &p : positions) {
            const double x = p.x - c.x;
            const double y = p.y - c.y;
            p.x = c.x + x * cs + y * sn;
            p.y = c.y - x * sn + y * cs;
        }
        break;
    }
}

std::optional<Vec3> polygonNormal(const Mesh &mesh, std::uint32_t index)
{
    const Polygon &polygon = mesh.polygons[index];
    if (polygon.vertexCount < 3)
        return std::nullopt;
    Vec3 n{0.0, 0.0, 0.0};
    for (std::uint32_t v = 0; v < polygon.vertexCount; ++v) {
        const Vec3 &a = mesh.positions[mesh.vertices[polygon.firstVertex + v]];
        const Vec3 &b = mesh.positions[mesh.vertices[polygon.firstVertex + (v + 1) % polygon.vertexCount]];
        n.x += (a.y - b.y) * (a.z + b.z);
        n.y += (a.z - b.z) * (a.x + b.x);
        n.z += (a.x - b.x) * (a.y + b.y);
    }
    const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    if (!(length > 0.0) || !std::isfinite(length))
        return std::nullopt;
    return Vec3{n.x / length, n.y / length, n.z / length};
}

} // namespace tuft::host
