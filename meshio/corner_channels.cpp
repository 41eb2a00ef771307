#include "meshio/corner_channels.h"

#include "sdk/modeler_host.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace tuft::meshio {

namespace {

constexpr std::uint32_t kNoSurface = ~std::uint32_t(0);

bool isWrittenUv(const host::Object &object, const host::PointMap &map, const WriteOptions &options)
{
    if (map.type != MH_MAP_UV || map.dimension != 2)
        return false;
    return options.uvMap.empty() || object.mapInfo(map.key).name == options.uvMap;
}

bool holdsValues(const host::PointMap &map)
{
    return !map.corners.empty() || std::find(map.has.begin(), map.has.end(), 1) != map.has.end();
}

const host::PointMap *firstNormalMap(const host::Mesh &mesh)
{
    for (const host::PointMap &map : mesh.maps)
        if (map.type == host::kNormalMap && map.dimension == 3 && holdsValues(map))
            return &map;
    return nullptr;
}

bool differs(const float *a, const float *b, int dimension)
{
    return a == nullptr || b == nullptr ? a != b : !std::equal(a, a + dimension, b);
}

void normalize(float *n)
{
    const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
    for (int i = 0; i < 3; ++i)
        n[i] = length > 0.0 ? static_cast<float>(n[i] / length) : (i == 1 ? 1.0f : 0.0f);
}

// The polygon's Newell vector: its normal, twice its area long.
void areaNormal(const host::Mesh &mesh, const host::Polygon &polygon, double (&n)[3])
{
    n[0] = n[1] = n[2] = 0.0;
    for (std::uint32_t v = 0; v < polygon.vertexCount; ++v) {
        const host::Vec3 &a = mesh.positions[mesh.vertices[polygon.firstVertex + v]];
        const host::Vec3 &b = mesh.positions[mesh.vertices[polygon.firstVertex + (v + 1) % polygon.vertexCount]];
        n[0] += (a.y - b.y) * (a.z + b.z);
        n[1] += (a.z - b.z) * (a.x + b.x);
        n[2] += (a.x - b.x) * (a.y + b.y);
    }
}

} // namespace

FileChannels fileChannels(const host::Object &object, const std::vector<const host::Layer *> &layers,
                          const WriteOptions &options)
{
    FileChannels file;
    file.normals = options.normals;
    for (const host::Layer *layer : layers)
        for (const host::PointMap &map : layer->mesh.maps) {
            file.uvs |= isWrittenUv(object, map, options) && holdsValues(map);
            file.normals |= map.type == host::kNormalMap && map.dimension == 3 && holdsValues(map);
        }
    return file;
}

CornerChannels::CornerChannels(const host::Object &object, const host::Mesh &mesh, const WriteOptions &options,
                               const FileChannels &file, ReadWarnings &warnings)
    : mesh_(mesh), file_(file)
{
    if (file.uvs) {
        for (const host::PointMap &map : mesh.maps)
            if (isWrittenUv(object, map, options))
                uvMaps_.push_back(&map);
        std::sort(uvMaps_.begin(), uvMaps_.end(), [](auto *a, auto *b) { return a->key < b->key; });
        if (uvMaps_.size() > 1)
            mergeUvMaps(object, warnings);
        for (const host::PointMap *map : uvMaps_)
            uvSeams_ |= !map->corners.empty();
    }
    if (file.normals) {
        normalMap_ = firstNormalMap(mesh);
        normalSeams_ = normalMap_ != nullptr && !normalMap_->corners.empty();
        computeSmoothNormals();
    }
}

// One channel from several maps: a point takes the value of the first map made that has
// one for it; where a later map disagrees, it is told once for the pair.
void CornerChannels::mergeUvMaps(const host::Object &object, ReadWarnings &warnings)
{
    const std::size_t points = mesh_.pointCount();
    mergedUv_.assign(2 * points, 0.0f);
    mergedHas_.assign(points, 0);
    std::set<std::pair<std::uint32_t, std::uint32_t>> told;
    std::vector<const host::PointMap *> giver(points, nullptr);
    for (const host::PointMap *map : uvMaps_)
        for (std::size_t i = 0; i < points; ++i) {
            if (!map->has[i])
                continue;
            const float *value = &map->values[2 * i];
            if (giver[i] == nullptr) {
                giver[i] = map;
                mergedHas_[i] = 1;
                mergedUv_[2 * i] = value[0];
                mergedUv_[2 * i + 1] = value[1];
            } else if (differs(value, &mergedUv_[2 * i], 2) && told.insert({giver[i]->key, map->key}).second) {
                warnings.push_back("the UV maps \"" + object.mapInfo(giver[i]->key).name + "\" and \"" +
                                   object.mapInfo(map->key).name + "\" give some points different values; \"" +
                                   object.mapInfo(giver[i]->key).name + "\", made first, is written");
            }
        }
}

void CornerChannels::computeSmoothNormals()
{
    const std::size_t points = mesh_.pointCount();
    smooth_.assign(3 * points, 0.0f);
    smoothSurface_.assign(points, kNoSurface);
    double n[3];
    for (const host::Polygon &polygon : mesh_.polygons) {
        if (polygon.vertexCount < 3)
            continue;
        areaNormal(mesh_, polygon, n);
        for (std::uint32_t v = 0; v < polygon.vertexCount; ++v) {
            const std::uint32_t point = mesh_.vertices[polygon.firstVertex + v];
            if (smoothSurface_[point] == kNoSurface)
                smoothSurface_[point] = polygon.surface;
            float *sum = &smooth_[3 * std::size_t(point)];
            if (smoothSurface_[point] != polygon.surface) {
                std::vector<float> &other = smoothOther_[std::uint64_t(point) << 32 | polygon.surface];
                other.resize(3, 0.0f);
                sum = other.data();
            }
            for (int i = 0; i < 3; ++i)
                sum[i] += static_cast<float>(n[i]);
        }
    }
    for (std::size_t i = 0; i < points; ++i)
        normalize(&smooth_[3 * i]);
    for (auto &entry : smoothOther_)
        normalize(entry.second.data());
}

const float *CornerChannels::pointUv(std::uint32_t point) const
{
    if (uvMaps_.empty())
        return nullptr;
    if (!mergedHas_.empty())
        return mergedHas_[point] ? &mergedUv_[2 * std::size_t(point)] : nullptr;
    const host::PointMap &map = *uvMaps_.front();
    return map.has[point] ? &map.values[2 * std::size_t(point)] : nullptr;
}

const float *CornerChannels::cornerUv(std::uint32_t polygon, std::uint32_t point) const
{
    if (!uvSeams_)
        return pointUv(point);
    for (const host::PointMap *map : uvMaps_)
        if (const float *own = map->corners.empty() ? nullptr : map->cornerValue(polygon, point))
            return own;
    return pointUv(point);
}

const float *CornerChannels::pointNormal(std::uint32_t point) const
{
    if (!file_.normals)
        return nullptr;
    if (normalMap_ != nullptr && normalMap_->has[point])
        return &normalMap_->values[3 * std::size_t(point)];
    return smoothSurface_[point] == kNoSurface ? nullptr : &smooth_[3 * std::size_t(point)];
}

const float *CornerChannels::cornerNormal(std::uint32_t polygon, std::uint32_t point) const
{
    if (!file_.normals)
        return nullptr;
    if (normalMap_ != nullptr) {
        if (const float *own = normalMap_->valueOn(polygon, point))
            return own;
    }
    const std::uint32_t surface = mesh_.polygons[polygon].surface;
    if (smoothSurface_[point] == surface || smoothSurface_[point] == kNoSurface)
        return pointNormal(point);
    const auto other = smoothOther_.find(std::uint64_t(point) << 32 | surface);
    return other != smoothOther_.end() ? other->second.data() : pointNormal(point);
}

} // namespace tuft::meshio
