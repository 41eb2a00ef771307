#include "scatter/scatter.h"

#include "host/trigonometry.h"
#include "scatter/clumps.h"
#include "scatter/edge_falloff.h"
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

// The triangles to draw points on: by area times their largest density, a point then
// kept with the chance of the density where it lies (times the edge falloff) against
// that, so the points' density follows the map.
class Surface {
public:
    Surface(const host::LayerMesh &mesh, const std::vector<Triangle> &triangles, const EdgeFalloff *falloff)
        : mesh_(mesh), triangles_(triangles), falloff_(falloff), cumulative_(triangles.size())
    {
        for (std::size_t t = 0; t < triangles.size(); ++t) {
            drawn_ += triangles[t].area * triangles[t].most;
            cumulative_[t] = drawn_;
        }
    }

    // The area, the density map applied.
    double area() const
    {
        double area = 0;
        for (const Triangle &t : triangles_)
            area += t.area * (t.density[0] + t.density[1] + t.density[2]) / 3;
        return area;
    }

    // A point drawn by area and kept by density; none when this try missed.
    std::optional<Sample> anywhere(Random &random) const
    {
        Sample sample = drawnByArea(random);
        if (!kept(sample, random))
            return std::nullopt;
        return sample;
    }

    bool kept(const Sample &sample, Random &random) const
    {
        const Triangle &t = triangles_[sample.triangle];
        const double here = densityAt(t, sample.b) * (falloff_ != nullptr ? falloff_->at(sample.p) : 1.0);
        return random.next() * t.most < here;
    }

    // The share of the density the edge falloff keeps, over `samples` points.
    double shareKept(Random random, std::size_t samples) const
    {
        double all = 0, kept = 0;
        for (std::size_t i = 0; i < samples; ++i) {
            const Sample sample = drawnByArea(random);
            const Triangle &t = triangles_[sample.triangle];
            const double here = densityAt(t, sample.b);
            all += here;
            kept += here * falloff_->at(sample.p);
        }
        return all > 0 ? kept / all : 0;
    }

private:
    Sample drawnByArea(Random &random) const
    {
        const double pick = random.next() * drawn_;
        Sample sample{
            std::min<std::size_t>(std::upper_bound(cumulative_.begin(), cumulative_.end(), pick) - cumulative_.begin(),
                                  triangles_.size() - 1),
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
        sample.p = pointAt(mesh_, triangles_[sample.triangle], sample.b);
        return sample;
    }

    const host::LayerMesh &mesh_;
    const std::vector<Triangle> &triangles_;
    const EdgeFalloff *falloff_;
    std::vector<double> cumulative_;
    double drawn_ = 0;
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

    std::unique_ptr<EdgeFalloff> falloff;
    if (options.edgeFalloff > 0)
        falloff = std::make_unique<EdgeFalloff>(mesh, options.edgeFalloff);
    const Surface surface(mesh, triangles, falloff.get());
    ScatterResult result;
    result.area = surface.area();
    if (falloff) // the share of the area the falloff leaves, measured by points of its own
        result.area *= surface.shareKept(Random(options.seed ^ 0x5CA77E12EDull), 1 << 16);
    if (options.density && !(*options.density * result.area <= double(kMostPoints)))
        throw std::invalid_argument("a density of " + shortest(*options.density) + " over an area of " +
                                    shortest(result.area) + " asks for more than " + std::to_string(kMostPoints) +
                                    " points");
    result.asked =
        options.count ? *options.count : static_cast<std::uint64_t>(std::llround(*options.density * result.area));
    result.firstPoint = static_cast<std::uint32_t>(mesh.pointCount());

    Random random(options.seed);
    std::unique_ptr<Clumps> clumps;
    if (options.clumps) {
        std::vector<Sample> centres;
        for (std::uint64_t attempt = 0;
             attempt < 64 * options.clumps->count + 1024 && centres.size() < options.clumps->count; ++attempt)
            if (const std::optional<Sample> centre = surface.anywhere(random)) {
                centres.push_back(*centre);
                result.centres.push_back(centre->p);
            }
        clumps = std::make_unique<Clumps>(mesh, triangles, centres, options.clumps->radius);
    }
    const auto draw = [&]() -> std::optional<Sample> {
        if (!clumps)
            return surface.anywhere(random);
        std::optional<Sample> sample = clumps->draw(random);
        if (sample && !surface.kept(*sample, random))
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
