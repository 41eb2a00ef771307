#include "view/scene.h"

#include "host/surface_colours.h"
#include "meshio/export_layer.h"

#include <algorithm>
#include <cmath>

namespace tuft::view {

namespace {

std::uint8_t colourByte(float value)
{
    return static_cast<std::uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255));
}

void addLayer(const meshio::ExportLayer &layer, const std::vector<std::string> &planted,
              const meshio::BladeColours *blades, Scene &scene)
{
    const host::LayerMesh &mesh = layer.mesh();
    const auto base = static_cast<std::uint32_t>(scene.positions.size() / 3);
    // Most points lie on one surface: a vertex each.
    const std::size_t points = mesh.pointCount(),
                      triangles =
                          mesh.cornerCount() - std::min<std::size_t>(mesh.cornerCount(), 2 * mesh.polygonCount());
    scene.positions.reserve(scene.positions.size() + 3 * points);
    scene.normals.reserve(scene.normals.size() + 3 * points);
    scene.colours.reserve(scene.colours.size() + 3 * points);
    scene.triangles.reserve(scene.triangles.size() + 3 * triangles);
    const auto drawn = [&](std::uint32_t point) {
        const host::Vec3 p = layer.position(point);
        return host::Vec3{static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)};
    };
    std::vector<float> normalSums;
    std::vector<const float *> colours; // by surface, looked up once a surface
    std::uint32_t made = 0;             // vertices are numbered as first used
    layer.surfaceVertices(drawn, normalSums, [&](std::uint32_t polygon, const std::vector<std::uint32_t> &corners) {
        const std::uint32_t surface = mesh.polygon(polygon).surface;
        for (std::size_t k = 0; k < corners.size(); ++k) {
            if (corners[k] != made)
                continue;
            ++made;
            const std::uint32_t point = mesh.pointsOf(polygon)[static_cast<std::uint32_t>(k)];
            const host::Vec3 p = drawn(point);
            scene.positions.insert(scene.positions.end(),
                                   {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            if (const meshio::Rgb *own = blades != nullptr ? blades->find(point) : nullptr) {
                scene.colours.insert(scene.colours.end(), own->begin(), own->end());
                continue;
            }
            if (surface >= colours.size())
                colours.resize(surface + 1, nullptr);
            if (colours[surface] == nullptr)
                colours[surface] = host::surfaceColour(layer.object(), surface, planted);
            for (int i = 0; i < 3; ++i)
                scene.colours.push_back(colourByte(colours[surface][i]));
        }
        for (std::size_t k = 1; k + 1 < corners.size(); ++k)
            scene.triangles.insert(scene.triangles.end(),
                                   {base + corners[0], base + corners[k], base + corners[k + 1]});
    });
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
              const std::vector<std::string> &plantedSurfaces, const std::vector<meshio::BladeColours> &colours)
{
    Scene scene;
    const meshio::WriteOptions drawing; // nothing but positions: no channels, the object's own up
    meshio::WriteWarnings none;
    for (const host::Layer *layer : layers)
        addLayer(meshio::ExportLayer(object, *layer, drawing, {}, meshio::UpAxis::kY, none), plantedSurfaces,
                 meshio::bladeColoursOf(colours, layer->number), scene);
    if (scene.positions.empty())
        return scene;
    meshio::Bounds bounds;
    for (std::size_t i = 0; i < scene.positions.size(); i += 3)
        bounds.add({scene.positions[i], scene.positions[i + 1], scene.positions[i + 2]});
    std::copy_n(bounds.low, 3, scene.low);
    std::copy_n(bounds.high, 3, scene.high);
    return scene;
}

} // namespace tuft::view
