#include "view/scene.h"

#include "host/surface_colours.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace tuft::view {

namespace {

// The vertex of a point on a surface, made on first use.
class Vertices {
public:
    Vertices(const host::Object &object, const host::Mesh &mesh, const std::string &planted, Scene &scene,
             std::vector<float> &normalSums)
        : object_(object), mesh_(mesh), planted_(planted), scene_(scene), normalSums_(normalSums),
          first_(mesh.pointCount(), kNone)
    {
        surfaceOf_.reserve(mesh.pointCount());
    }

    std::uint32_t of(std::uint32_t point, std::uint32_t surface)
    {
        std::uint32_t &first = first_[point];
        if (first != kNone && surfaceOf_[first] == surface)
            return first;
        if (first != kNone) {
            const auto found = others_.find(std::uint64_t(point) << 32 | surface);
            if (found != others_.end())
                return found->second;
        }
        const auto vertex = static_cast<std::uint32_t>(scene_.positions.size() / 3);
        const host::Vec3 &p = mesh_.positions[point];
        scene_.positions.insert(scene_.positions.end(),
                                {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
        normalSums_.insert(normalSums_.end(), {0.0f, 0.0f, 0.0f});
        const float *rgb = colour(surface);
        for (int i = 0; i < 3; ++i)
            scene_.colours.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(rgb[i], 0.0f, 1.0f) * 255)));
        surfaceOf_.push_back(surface);
        if (first == kNone)
            first = vertex;
        else
            others_.emplace(std::uint64_t(point) << 32 | surface, vertex);
        return vertex;
    }

private:
    // A surface's colour, looked up once a surface (by name, among the materials).
    const float *colour(std::uint32_t surface)
    {
        if (surface >= colours_.size())
            colours_.resize(surface + 1, nullptr);
        if (colours_[surface] == nullptr)
            colours_[surface] = host::surfaceColour(object_, surface, planted_);
        return colours_[surface];
    }

    static constexpr std::uint32_t kNone = ~std::uint32_t(0);
    const host::Object &object_;
    const host::Mesh &mesh_;
    const std::string &planted_;
    Scene &scene_;
    std::vector<float> &normalSums_;       // three a vertex of this mesh
    std::vector<std::uint32_t> first_;     // by point: its first vertex
    std::vector<std::uint32_t> surfaceOf_; // by vertex, from this mesh's first on
    std::unordered_map<std::uint64_t, std::uint32_t> others_;
    std::vector<const float *> colours_; // by surface
};

void addMesh(const host::Object &object, const host::Mesh &mesh, const std::string &planted, Scene &scene)
{
    std::vector<float> normalSums;
    Vertices vertices(object, mesh, planted, scene, normalSums);
    const std::size_t base = scene.positions.size() / 3;
    // Most points lie on one surface: a vertex each.
    const std::size_t points = mesh.pointCount(),
                      triangles =
                          mesh.vertices.size() - std::min<std::size_t>(mesh.vertices.size(), 2 * mesh.polygons.size());
    scene.positions.reserve(scene.positions.size() + 3 * points);
    scene.normals.reserve(scene.normals.size() + 3 * points);
    normalSums.reserve(3 * points);
    scene.colours.reserve(scene.colours.size() + 3 * points);
    scene.triangles.reserve(scene.triangles.size() + 3 * triangles);
    std::vector<std::uint32_t> corners;
    for (const host::Polygon &polygon : mesh.polygons) {
        if (polygon.vertexCount < 3)
            continue;
        corners.clear();
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k)
            corners.push_back(vertices.of(mesh.vertices[polygon.firstVertex + k], polygon.surface));
        // The polygon's area-weighted normal goes to each of its vertices.
        double n[3] = {0, 0, 0};
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
            const float *a = &scene.positions[3 * std::size_t(corners[k])];
            const float *b = &scene.positions[3 * std::size_t(corners[(k + 1) % polygon.vertexCount])];
            n[0] += (double(a[1]) - b[1]) * (double(a[2]) + b[2]);
            n[1] += (double(a[2]) - b[2]) * (double(a[0]) + b[0]);
            n[2] += (double(a[0]) - b[0]) * (double(a[1]) + b[1]);
        }
        for (std::uint32_t corner : corners)
            for (int i = 0; i < 3; ++i)
                normalSums[3 * (corner - base) + i] += static_cast<float>(n[i]);
        for (std::uint32_t k = 1; k + 1 < polygon.vertexCount; ++k)
            scene.triangles.insert(scene.triangles.end(), {corners[0], corners[k], corners[k + 1]});
    }
    for (std::size_t v = 0; v < normalSums.size(); v += 3) {
        const float *n = &normalSums[v];
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (int i = 0; i < 3; ++i) {
            const float unit = length > 0 ? n[i] / length : (i == 1 ? 1.0f : 0.0f);
            scene.normals.push_back(static_cast<std::int16_t>(std::lround(unit * 32767)));
        }
    }
}

} // namespace

Scene sceneOf(const host::Object &object, const std::vector<const host::Layer *> &layers,
              const std::string &plantedSurface)
{
    Scene scene;
    for (const host::Layer *layer : layers)
        addMesh(object, layer->mesh, plantedSurface, scene);
    if (scene.positions.empty())
        return scene;
    std::fill_n(scene.low, 3, std::numeric_limits<float>::max());
    std::fill_n(scene.high, 3, std::numeric_limits<float>::lowest());
    for (std::size_t i = 0; i < scene.positions.size(); ++i) {
        scene.low[i % 3] = std::min(scene.low[i % 3], scene.positions[i]);
        scene.high[i % 3] = std::max(scene.high[i % 3], scene.positions[i]);
    }
    return scene;
}

} // namespace tuft::view
