#include "scatter/scatter.h"

#include "host/trigonometry.h"
#include "scatter/clumps.h"
#include "scatter/sampling.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <vector>

namespace tuft::scatter {

namespace {

constexpr double kPi = 3.141592653589793;

// A weight map's value at each point of the layer (`fallback` where a point has none).
std::vector<float> weightsOf(const host::Object &object, const host::LayerMesh &mesh, const std::string &name,
                             float fallback)
{
    std::vector<float> values(mesh.pointCount(), fallback);
    if (name.empty())
        return values;
    const long key = object.findMapKey(MH_MAP_WEIGHT, name);
    if (key < 0 || !mesh.findMap(static_cast<std::uint32_t>(key)))
        throw std::invalid_argument("the layer has no weight map \"" + name + "\"");
    for (std::uint32_t i = 0; i < values.size(); ++i)
        if (const float *value = mesh.pointValue(static_cast<std::uint32_t>(key), i))
            values[i] = *value;
    return values;
}

double triangleArea(const host::Vec3 &a, const host::Vec3 &b, const host::Vec3 &c)
{
    const double u[3] = {b.x - a.x, b.y - a.y, b.z - a.z}, v[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
    const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}

// The selected polygons no steeper than the slope, as fans of triangles.
std::vector<Triangle> trianglesOf(const host::LayerMesh &mesh, const std::vector<float> &density, double maxSlope)
{
    const double leastUp = host::portableCos(std::min(maxSlope, 180.0) * kPi / 180.0);
    std::vector<Triangle> triangles;
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
        const host::Polygon polygon = mesh.polygon(p);
        if (!(polygon.flags & MH_FLAG_SELECTED) || polygon.vertexCount < 3)
            continue;
        const std::optional<host::Vec3> normal = host::polygonNormal(mesh, p);
        if (!normal || (maxSlope < 180.0 && normal->y < leastUp))
            continue;
        const host::PolygonPoints v = mesh.pointsOf(p);
        for (std::uint32_t k = 1; k + 1 < polygon.vertexCount; ++k) {
            Triangle t{p, {v[0], v[k], v[k + 1]}, 0, {}, 0};
            t.area = triangleArea(mesh.position(v[0]), mesh.position(v[k]), mesh.position(v[k + 1]));
            for (int i = 0; i < 3; ++i) {
                t.density[i] = std::clamp(density[t.corner[i]], 0.0f, 1.0f);
                t.most = std::max(t.most, t.density[i]);
            }
            if (t.area > 0 && t.most > 0)
                triangles.push_back(t);
        }
    }
    return triangles;
}

// Points at least a distance apart: a hash of cells the size of that distance.
class SpacingGrid {
public:
    SpacingGrid(double spacing, std::size_t expected)
        : spacing_(spacing), squared_(spacing * spacing), heads_(tableSize(expected), kEmpty)
    {
    }

    bool roomFor(const host::Vec3 &p) const
    {
        const long cx = cell(p.x), cy = cell(p.y), cz = cell(p.z);
        for (long x = cx - 1; x <= cx + 1; ++x)
            for (long y = cy - 1; y <= cy + 1; ++y)
                for (long z = cz - 1; z <= cz + 1; ++z)
                    for (std::uint32_t i = heads_[slot(x, y, z)]; i != kEmpty; i = next_[i]) {
                        const host::Vec3 &q = points_[i];
                        const double dx = q.x - p.x, dy = q.y - p.y, dz = q.z - p.z;
                        if (dx * dx + dy * dy + dz * dz < squared_)
                            return false;
                    }
        return true;
    }

    void add(const host::Vec3 &p)
    {
        std::uint32_t &head = heads_[slot(cell(p.x), cell(p.y), cell(p.z))];
        points_.push_back(p);
        next_.push_back(head);
        head = static_cast<std::uint32_t>(points_.size() - 1);
    }

private:
    static constexpr std::uint32_t kEmpty = ~std::uint32_t(0);
    static std::size_t tableSize(std::size_t expected)
    {
        std::size_t size = 1024;
        while (size < 2 * expected)
            size *= 2;
        return size;
    }
    long cell(double value) const { return static_cast<long>(std::floor(value / spacing_)); }
    std::size_t slot(long x, long y, long z) const
    {
        const std::uint64_t h = static_cast<std::uint64_t>(x) * 73856093u ^ static_cast<std::uint64_t>(y) * 19349663u ^
                                static_cast<std::uint64_t>(z) * 83492791u;
        return static_cast<std::size_t>((h ^ (h >> 29)) & (heads_.size() - 1));
    }

    double spacing_, squared_;
    std::vector<std::uint32_t> heads_, next_;
    std::vector<host::Vec3> points_;
};

// A number in the fewest digits that read back as it.
std::string shortest(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

} // namespace

ScatterResult scatterPoints(host::Object &object, int layerNumber, const ScatterOptions &options)
{
    host::Layer *layer = object.layer(layerNumber);
    if (layer == nullptr)
        throw std::invalid_argument("layer " + std::to_string(layerNumber) + " does not exist");
    host::LayerMesh &mesh = layer->mesh;
    const std::vector<float> density = weightsOf(object, mesh, options.densityMap, 1.0f);
    const std::vector<float> size = weightsOf(object, mesh, options.sizeMap, 1.0f);
    const std::vector<Triangle> triangles = trianglesOf(mesh, density, options.maxSlope);
    if (triangles.empty())
        throw std::invalid_argument("no selected polygon has room for points (none selected, all too steep, or a "
                                    "density of 0 everywhere)");

    // Triangles are drawn by area times their largest density; a point then stays with
    // the chance of its density against that, so the points' density follows the map.
    std::vector<double> cumulative(triangles.size());
    double drawn = 0;
    ScatterResult result;
    for (std::size_t t = 0; t < triangles.size(); ++t) {
        const Triangle &triangle = triangles[t];
        drawn += triangle.area * triangle.most;
        cumulative[t] = drawn;
        result.area += triangle.area * (triangle.density[0] + triangle.density[1] + triangle.density[2]) / 3;
    }
    if (options.density && !(*options.density * result.area <= double(kMostPoints)))
        throw std::invalid_argument("a density of " + shortest(*options.density) + " over an area of " +
                                    shortest(result.area) + " asks for more than " + std::to_string(kMostPoints) +
                                    " points");
    result.asked =
        options.count ? *options.count : static_cast<std::uint64_t>(std::llround(*options.density * result.area));
    result.firstPoint = static_cast<std::uint32_t>(mesh.pointCount());

    Random random(options.seed);
    // A point anywhere, drawn by area (and density); or none when this try missed.
    const auto anywhere = [&]() -> std::optional<Sample> {
        const double pick = random.next() * drawn;
        Sample sample{
            std::min<std::size_t>(std::upper_bound(cumulative.begin(), cumulative.end(), pick) - cumulative.begin(),
                                  triangles.size() - 1),
            {},
            {}};
        double r1 = random.next(), r2 = random.next();
        if (r1 + r2 > 1) {
            r1 = 1 - r1;
            r2 = 1 - r2;
        }
        sample.b[0] = 1 - r1 - r2;
        sample.b[1] = r1;
        sample.b[2] = r2;
        if (!keptByDensity(triangles[sample.triangle], sample.b, random))
            return std::nullopt;
        sample.p = pointAt(mesh, triangles[sample.triangle], sample.b);
        return sample;
    };
    std::unique_ptr<Clumps> clumps;
    if (options.clumps) {
        std::vector<Sample> centres;
        for (std::uint64_t attempt = 0;
             attempt < 64 * options.clumps->count + 1024 && centres.size() < options.clumps->count; ++attempt)
            if (const std::optional<Sample> centre = anywhere()) {
                centres.push_back(*centre);
                result.centres.push_back(centre->p);
            }
        clumps = std::make_unique<Clumps>(mesh, triangles, centres, options.clumps->radius);
    }
    const auto draw = [&]() -> std::optional<Sample> {
        if (!clumps)
            return anywhere();
        std::optional<Sample> sample = clumps->draw(random);
        if (sample && !keptByDensity(triangles[sample->triangle], sample->b, random))
            return std::nullopt;
        return sample;
    };
    std::unique_ptr<SpacingGrid> grid;
    if (options.spacing > 0)
        grid = std::make_unique<SpacingGrid>(options.spacing, static_cast<std::size_t>(result.asked));
    std::vector<host::Vec3> points;
    std::vector<float> weights;
    points.reserve(static_cast<std::size_t>(result.asked));
    result.polygons.reserve(points.capacity());
    // Bounded work: where no room is left, the points made are all there are.
    const std::uint64_t attempts = 64 * result.asked + 1024;
    for (std::uint64_t attempt = 0; attempt < attempts && points.size() < result.asked; ++attempt) {
        const std::optional<Sample> sample = draw();
        if (!sample || (grid && !grid->roomFor(sample->p)))
            continue;
        if (grid)
            grid->add(sample->p);
        const Triangle &t = triangles[sample->triangle];
        const double *b = sample->b;
        points.push_back(sample->p);
        result.polygons.push_back(t.polygon);
        weights.push_back(
            static_cast<float>(b[0] * size[t.corner[0]] + b[1] * size[t.corner[1]] + b[2] * size[t.corner[2]]));
    }
    result.made = points.size();

    // The points join the layer selected, and are what the selection is.
    for (std::size_t i = 0; i < mesh.pointCount(); ++i)
        mesh.setPointFlags(i, mesh.pointFlags(i) & static_cast<std::uint8_t>(~MH_FLAG_SELECTED));
    const long key = object.mapKey(MH_MAP_WEIGHT, "ZTSW", 1);
    if (key < 0)
        throw std::invalid_argument("the object has a map \"ZTSW\" that is no weight map");
    const host::LayerMap ztsw{static_cast<std::uint32_t>(key), MH_MAP_WEIGHT, 1};
    mesh.makeMap(ztsw);
    for (std::size_t i = 0; i < points.size(); ++i)
        mesh.setPointValue(ztsw, mesh.addPoint(points[i], MH_FLAG_SELECTED), &weights[i]);
    object.selectionMode = host::SelectionMode::kPoints;
    return result;
}

void removeScatteredPoints(host::Object &object, int layer, const ScatterResult &result)
{
    object.layer(layer)->mesh.erasePoints(result.firstPoint, result.made);
}

} // namespace tuft::scatter
