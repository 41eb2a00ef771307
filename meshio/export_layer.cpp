#include "meshio/export_layer.h"

#include "sdk/modeler_host.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace tuft::meshio {

namespace {

bool isWrittenUv(const host::Object &object, const host::LayerMap &map, const WriteOptions &options)
{
    if (map.type != MH_MAP_UV || map.dimension != 2)
        return false;
    return options.uvMap.empty() || object.mapInfo(map.key).name == options.uvMap;
}

std::optional<host::LayerMap> firstNormalMap(const host::LayerMesh &mesh)
{
    for (const host::LayerMap &map : mesh.maps())
        if (map.type == host::kNormalMap && map.dimension == 3 && mesh.holdsValues(map.key))
            return map;
    return std::nullopt;
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

} // namespace

FileChannels fileChannels(const host::Object &object, const std::vector<const host::Layer *> &layers,
                          const WriteOptions &options)
{
    FileChannels file;
    file.normals = options.normals;
    for (const host::Layer *layer : layers)
        for (const host::LayerMap &map : layer->mesh.maps()) {
            file.uvs |= isWrittenUv(object, map, options) && layer->mesh.holdsValues(map.key);
            file.normals |= map.type == host::kNormalMap && map.dimension == 3 && layer->mesh.holdsValues(map.key);
        }
    for (const host::Layer *layer : layers)
        if (const BladeColours *colours = bladeColoursOf(options.colours, layer->number))
            file.colours |= !colours->empty();
    return file;
}

const BladeColours *bladeColoursOf(const std::vector<BladeColours> &colours, int layer)
{
    for (const BladeColours &each : colours)
        if (each.layer == layer)
            return &each;
    return nullptr;
}

ExportLayer::ExportLayer(const host::Object &object, const host::Layer &layer, const WriteOptions &options,
                         const FileChannels &file, UpAxis up, WriteWarnings &warnings)
    : object_(object), layer_(layer), mesh_(layer.mesh), file_(file), zUp_(up == UpAxis::kZ)
{
    if (const BladeColours *colours = bladeColoursOf(options.colours, layer.number); colours && file.colours)
        colours_ = [colours](std::uint32_t point) { return colours->ofPoint(point); };
    if (file.uvs) {
        for (const host::LayerMap &map : mesh_.maps())
            if (isWrittenUv(object, map, options))
                uvMaps_.push_back(map);
        std::sort(uvMaps_.begin(), uvMaps_.end(), [](const auto &a, const auto &b) { return a.key < b.key; });
        if (uvMaps_.size() > 1)
            mergeUvMaps(warnings);
        for (const host::LayerMap &map : uvMaps_)
            uvSeams_ |= mesh_.hasCornerValues(map.key);
    }
    if (file.normals) {
        normalMap_ = firstNormalMap(mesh_);
        normalSeams_ = normalMap_ && mesh_.hasCornerValues(normalMap_->key);
        computeSmoothNormals();
    }
}

// One channel from several maps: a point takes the value of the first map made that has
// one for it; where a later map disagrees, it is told once for the pair.
void ExportLayer::mergeUvMaps(WriteWarnings &warnings)
{
    const std::size_t points = mesh_.pointCount();
    mergedUv_.assign(2 * points, 0.0f);
    mergedHas_.assign(points, 0);
    std::set<std::pair<std::uint32_t, std::uint32_t>> told;
    constexpr std::uint32_t kNoGiver = ~std::uint32_t(0);
    std::vector<std::uint32_t> giver(points, kNoGiver); // the key of the map that gave the value
    for (const host::LayerMap &map : uvMaps_)
        for (std::uint32_t i = 0; i < points; ++i) {
            const float *value = mesh_.pointValue(map.key, i);
            if (value == nullptr)
                continue;
            if (giver[i] == kNoGiver) {
                giver[i] = map.key;
                mergedHas_[i] = 1;
                mergedUv_[2 * i] = value[0];
                mergedUv_[2 * i + 1] = value[1];
            } else if (differs(value, &mergedUv_[2 * i], 2) && told.insert({giver[i], map.key}).second) {
                warnings.push_back("the UV maps \"" + object_.mapInfo(giver[i]).name + "\" and \"" +
                                   object_.mapInfo(map.key).name + "\" give some points different values; \"" +
                                   object_.mapInfo(giver[i]).name + "\", made first, is written");
            }
        }
}

// Area-weighted within each surface: a vertex per point and surface.
void ExportLayer::computeSmoothNormals()
{
    smoothVertices_.emplace(surfaceVertices([&](std::uint32_t point) { return mesh_.position(point); }, smooth_,
                                            [](std::uint32_t, const std::vector<std::uint32_t> &) {}));
    for (std::size_t i = 0; i < smooth_.size(); i += 3)
        normalize(&smooth_[i]);
}

const float *ExportLayer::pointUv(std::uint32_t point) const
{
    if (uvMaps_.empty())
        return nullptr;
    if (!mergedHas_.empty())
        return mergedHas_[point] ? &mergedUv_[2 * std::size_t(point)] : nullptr;
    return mesh_.pointValue(uvMaps_.front().key, point);
}

const float *ExportLayer::cornerUv(std::uint32_t polygon, std::uint32_t point) const
{
    if (!uvSeams_)
        return pointUv(point);
    for (const host::LayerMap &map : uvMaps_)
        if (const float *own = mesh_.cornerValue(map.key, polygon, point))
            return own;
    return pointUv(point);
}

const float *ExportLayer::pointNormal(std::uint32_t point) const
{
    if (!file_.normals)
        return nullptr;
    if (const float *own = normalMap_ ? mesh_.pointValue(normalMap_->key, point) : nullptr)
        return own;
    const std::uint32_t vertex = smoothVertices_->firstOf(point);
    return vertex == Welding<std::uint32_t>::kNone ? nullptr : &smooth_[3 * std::size_t(vertex)];
}

const float *ExportLayer::cornerNormal(std::uint32_t polygon, std::uint32_t point) const
{
    if (!file_.normals)
        return nullptr;
    if (normalMap_) {
        if (const float *own = mesh_.valueOn(normalMap_->key, polygon, point))
            return own;
    }
    const std::uint32_t vertex = smoothVertices_->find(point, mesh_.polygon(polygon).surface);
    return vertex == Welding<std::uint32_t>::kNone ? pointNormal(point) : &smooth_[3 * std::size_t(vertex)];
}

namespace {

CornerValues together(const float *uv, const float *normal)
{
    CornerValues values{};
    if (uv != nullptr)
        std::copy_n(uv, 2, values.begin());
    if (normal != nullptr)
        std::copy_n(normal, 3, values.begin() + 2);
    return values;
}

} // namespace

CornerValues ExportLayer::pointValues(std::uint32_t point) const
{
    return together(pointUv(point), pointNormal(point));
}

CornerValues ExportLayer::cornerValues(std::uint32_t polygon, std::uint32_t point) const
{
    return together(cornerUv(polygon, point), cornerNormal(polygon, point));
}

VertexTable ExportLayer::pointsFirst() const
{
    const std::size_t points = mesh_.pointCount();
    if (!seams())
        return VertexTable(0, points);
    Welding<CornerValues> welding(points, points);
    for (std::uint32_t point = 0; point < points; ++point)
        welding.add(point, pointValues(point));
    std::vector<std::uint32_t> cornerVertex(mesh_.cornerCount());
    for (std::uint32_t p = 0; p < mesh_.polygonCount(); ++p) {
        const host::Polygon polygon = mesh_.polygon(p);
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
            const std::uint32_t point = mesh_.cornerPoint(polygon.firstVertex + k);
            cornerVertex[polygon.firstVertex + k] = welding.of(point, cornerValues(p, point));
        }
    }
    return VertexTable(std::move(welding), std::move(cornerVertex));
}

namespace {

// The vertices of a surface's corners: a point used whole maps to one vertex, when the
// polygons use a whole range of points and no corner has values of its own; otherwise a
// vertex for each (point, UV, normal), in the order first used.
VertexTable partVertices(const ExportLayer &layer, const SurfacePart &part)
{
    const host::LayerMesh &mesh = layer.mesh();
    std::uint32_t lo = std::numeric_limits<std::uint32_t>::max(), hi = 0;
    forPartPolygons(mesh, part, 0, part.polygonNumbers.size(),
                    [&](std::size_t, const host::Polygon &, const host::PolygonPoints &points) {
                        for (const std::uint32_t point : points) {
                            lo = std::min(lo, point);
                            hi = std::max(hi, point);
                        }
                    });
    if (!layer.seams()) {
        std::vector<bool> used(hi - lo + 1, false);
        std::size_t distinct = 0;
        forPartPolygons(mesh, part, 0, part.polygonNumbers.size(),
                        [&](std::size_t, const host::Polygon &, const host::PolygonPoints &points) {
                            for (const std::uint32_t point : points) {
                                distinct += !used[point - lo];
                                used[point - lo] = true;
                            }
                        });
        if (distinct == used.size())
            return VertexTable(lo, distinct);
    }
    Welding<CornerValues> welding(mesh.pointCount());
    std::vector<std::uint32_t> cornerVertex;
    cornerVertex.reserve(part.corners);
    forPartPolygons(mesh, part, 0, part.polygonNumbers.size(),
                    [&](std::size_t p, const host::Polygon &, const host::PolygonPoints &points) {
                        for (const std::uint32_t point : points)
                            cornerVertex.push_back(
                                welding.of(point, layer.cornerValues(static_cast<std::uint32_t>(p), point)));
                    });
    return VertexTable(std::move(welding), std::move(cornerVertex));
}

// The box around the part's vertices, in the file's frame.
Bounds boundsOf(const ExportLayer &layer, const VertexTable &table)
{
    Bounds bounds;
    const auto add = [&](const host::Vec3 &at) {
        const host::Vec3 p = layer.inFile(at);
        bounds.add({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
    };
    if (table.welded()) {
        for (std::size_t v = 0; v < table.count(); ++v)
            add(layer.mesh().position(table.pointOf(v)));
    } else if (table.count() > 0) {
        const std::size_t first = table.pointOf(0);
        layer.mesh().forPositions(first, first + table.count(), [&](std::size_t, const host::Vec3 &p) { add(p); });
    }
    return bounds;
}

} // namespace

std::vector<SurfacePart> ExportLayer::surfaceParts(std::size_t &skipped) const
{
    std::vector<SurfacePart> parts;
    const bool named = mesh_.hasTag(host::kObjectTag);
    std::map<std::uint64_t, std::size_t> ofKey; // by object name and surface: its part
    std::uint64_t lastKey = ~std::uint64_t(0);
    std::size_t last = 0;
    mesh_.forPolygons(0, mesh_.polygonCount(), [&](std::size_t p, const host::Polygon &polygon, const auto &) {
        if (polygon.vertexCount < 3) {
            ++skipped;
            return;
        }
        const std::uint32_t name = named ? mesh_.tagValue(host::kObjectTag, p) : 0;
        const std::uint64_t key = std::uint64_t(name) << 32 | polygon.surface;
        if (key != lastKey) { // most polygons follow one of their own part
            const auto found = ofKey.emplace(key, parts.size());
            if (found.second) {
                parts.emplace_back();
                parts.back().surface = polygon.surface;
                parts.back().objectName = name;
            }
            lastKey = key;
            last = found.first->second;
        }
        SurfacePart &part = parts[last];
        part.polygonNumbers.push_back(static_cast<std::uint32_t>(p));
        part.triangles += polygon.vertexCount - 2;
        part.corners += polygon.vertexCount;
    });
    for (SurfacePart &part : parts) {
        part.vertexTable = partVertices(*this, part);
        part.bounds = boundsOf(*this, part.vertexTable);
    }
    return parts;
}

template <typename PointValues, typename PointValue, typename CornerValue>
ChannelNumbers ExportLayer::numbers(int dimension, bool seams, const PointValues &forPointValues,
                                    const PointValue &pointValue, const CornerValue &cornerValue) const
{
    ChannelNumbers numbers;
    numbers.dimension = dimension;
    const auto valueOf = [&](const float *value) {
        std::array<float, 3> v{};
        std::copy_n(value, dimension, v.begin());
        return v;
    };
    const std::size_t points = mesh_.pointCount();
    forPointValues(0, points, [&](std::size_t, const float *value) { numbers.everyPoint_ &= value != nullptr; });
    if (numbers.everyPoint_ && !seams) {
        numbers.count_ = points; // every corner takes its point's value
        return numbers;
    }
    Welding<std::array<float, 3>> welding(points);
    if (!numbers.everyPoint_)
        numbers.pointNumber_.resize(points);
    forPointValues(0, points, [&](std::size_t i, const float *value) {
        if (value == nullptr)
            return;
        const std::uint32_t vertex = welding.add(static_cast<std::uint32_t>(i), valueOf(value));
        if (!numbers.everyPoint_)
            numbers.pointNumber_[i] = vertex + 1;
    });
    const std::size_t withValues = welding.size();
    // Each corner's own value, where it differs from its point's; and whether any corner has none.
    bool zeroWanted = false;
    for (std::uint32_t p = 0; p < mesh_.polygonCount(); ++p) {
        const host::Polygon polygon = mesh_.polygon(p);
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
            const std::uint32_t point = mesh_.cornerPoint(polygon.firstVertex + k);
            const float *own = seams ? cornerValue(p, point) : nullptr;
            const float *ofPoint = pointValue(point);
            if (own != nullptr && differs(own, ofPoint, dimension)) {
                if (numbers.cornerNumber_.empty())
                    numbers.cornerNumber_.assign(mesh_.cornerCount(), 0);
                numbers.cornerNumber_[polygon.firstVertex + k] = welding.of(point, valueOf(own)) + 1;
            } else if (ofPoint == nullptr) {
                zeroWanted = true;
            }
        }
    }
    for (std::size_t v = withValues; v < welding.size(); ++v)
        numbers.extra.push_back(welding.valuesOf(v));
    numbers.count_ = welding.size();
    if (zeroWanted) {
        numbers.zero_ = static_cast<std::uint32_t>(++numbers.count_);
        numbers.extra.push_back({0.0f, 0.0f, 0.0f});
    }
    return numbers;
}

ChannelNumbers ExportLayer::uvNumbers() const
{
    return numbers(
        2, uvSeams_, [this](std::size_t first, std::size_t end, const auto &take) { forPointUvs(first, end, take); },
        [this](std::uint32_t point) { return pointUv(point); },
        [this](std::uint32_t polygon, std::uint32_t point) { return cornerUv(polygon, point); });
}

ChannelNumbers ExportLayer::normalNumbers() const
{
    return numbers(
        3, true,
        [this](std::size_t first, std::size_t end, const auto &take) {
            for (std::size_t i = first; i < end; ++i)
                take(i, pointNormal(static_cast<std::uint32_t>(i)));
        },
        [this](std::uint32_t point) { return pointNormal(point); },
        [this](std::uint32_t polygon, std::uint32_t point) { return cornerNormal(polygon, point); });
}

} // namespace tuft::meshio
