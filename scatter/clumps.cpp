#include "scatter/clumps.h"

#include "host/trigonometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace tuft::scatter {

namespace {

constexpr double kPi = 3.141592653589793;
using host::Vec3;

Vec3 minus(const Vec3 &a, const Vec3 &b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 plus(const Vec3 &a, const Vec3 &b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec3 scaled(const Vec3 &a, double s) { return {a.x * s, a.y * s, a.z * s}; }
double dot(const Vec3 &a, const Vec3 &b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 cross(const Vec3 &a, const Vec3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The triangles that share an edge with each, by their places in `triangles`.
std::vector<std::vector<std::uint32_t>> neighbours(const std::vector<Triangle> &triangles)
{
    std::unordered_map<std::uint64_t, std::vector<std::uint32_t>> byEdge;
    for (std::uint32_t t = 0; t < triangles.size(); ++t)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = triangles[t].corner[k], b = triangles[t].corner[(k + 1) % 3];
            byEdge[std::uint64_t(std::min(a, b)) << 32 | std::max(a, b)].push_back(t);
        }
    std::vector<std::vector<std::uint32_t>> result(triangles.size());
    for (const auto &[edge, sharing] : byEdge)
        for (const std::uint32_t t : sharing)
            for (const std::uint32_t other : sharing)
                if (other != t)
                    result[t].push_back(other);
    return result;
}

} // namespace

Clumps::Clumps(const host::LayerMesh &mesh, const std::vector<Triangle> &triangles, const std::vector<Sample> &centres,
               double radius)
    : mesh_(mesh), triangles_(triangles), radius_(radius)
{
    const std::vector<std::vector<std::uint32_t>> adjacent = neighbours(triangles);
    constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();
    std::vector<std::size_t> reachedFrom(triangles.size(), kNone);
    firstNear_.push_back(0);
    for (std::size_t c = 0; c < centres.size(); ++c) {
        const Vec3 centre = centres[c].p;
        centres_.push_back(centre);
        double total = 0;
        std::vector<std::uint32_t> waiting{static_cast<std::uint32_t>(centres[c].triangle)};
        reachedFrom[centres[c].triangle] = c;
        while (!waiting.empty()) {
            const std::uint32_t t = waiting.back();
            waiting.pop_back();
            const Vec3 a = mesh.position(triangles[t].corner[0]), b = mesh.position(triangles[t].corner[1]),
                       d = mesh.position(triangles[t].corner[2]);
            const Vec3 normal = cross(minus(b, a), minus(d, a));
            const double length = std::sqrt(dot(normal, normal));
            const double height = length > 0 ? dot(normal, minus(centre, a)) / length : radius + 1;
            bool reaches = std::abs(height) <= radius;
            for (const auto axis : {&Vec3::x, &Vec3::y, &Vec3::z})
                reaches = reaches && std::min({a.*axis, b.*axis, d.*axis}) <= centre.*axis + radius &&
                          std::max({a.*axis, b.*axis, d.*axis}) >= centre.*axis - radius;
            if (!reaches)
                continue;
            // The disc the ball cuts from the triangle's plane, and two axes across it.
            const double discRadius = std::sqrt(radius * radius - height * height);
            const double discArea = kPi * discRadius * discRadius;
            const Vec3 unitNormal = scaled(normal, 1 / length);
            const Vec3 along = scaled(minus(b, a), 1 / std::sqrt(dot(minus(b, a), minus(b, a))));
            near_.push_back({t, triangles[t].area > discArea, minus(centre, scaled(unitNormal, height)),
                             scaled(along, discRadius), scaled(cross(unitNormal, along), discRadius)});
            total += std::min(triangles[t].area, discArea);
            cumulative_.push_back(total);
            for (const std::uint32_t next : adjacent[t])
                if (reachedFrom[next] != c) {
                    reachedFrom[next] = c;
                    waiting.push_back(next);
                }
        }
        firstNear_.push_back(near_.size());
    }
}

std::optional<Sample> Clumps::draw(Random &random) const
{
    const std::size_t c = std::min(centres_.size() - 1, static_cast<std::size_t>(random.next() * centres_.size()));
    const std::size_t first = firstNear_[c], end = firstNear_[c + 1];
    if (first == end)
        return std::nullopt;
    const double pick = random.next() * cumulative_[end - 1];
    const std::size_t k =
        std::min<std::size_t>(std::upper_bound(cumulative_.begin() + static_cast<std::ptrdiff_t>(first),
                                               cumulative_.begin() + static_cast<std::ptrdiff_t>(end), pick) -
                                  cumulative_.begin(),
                              end - 1);
    return near_[k].inDisc ? inDisc(near_[k], random) : inTriangle(near_[k], centres_[c], random);
}

std::optional<Sample> Clumps::inTriangle(const Near &near, const Vec3 &centre, Random &random) const
{
    double r1 = random.next(), r2 = random.next();
    if (r1 + r2 > 1) {
        r1 = 1 - r1;
        r2 = 1 - r2;
    }
    Sample sample{near.triangle, {1 - r1 - r2, r1, r2}, {}};
    sample.p = pointAt(mesh_, triangles_[near.triangle], sample.b);
    const Vec3 off = minus(sample.p, centre);
    if (dot(off, off) > radius_ * radius_)
        return std::nullopt;
    return sample;
}

std::optional<Sample> Clumps::inDisc(const Near &near, Random &random) const
{
    const double distance = std::sqrt(random.next()), angle = 2 * kPi * random.next();
    const Vec3 p = plus(near.discCentre, plus(scaled(near.u, distance * host::portableCos(angle)),
                                              scaled(near.v, distance * host::portableSin(angle))));
    // Its barycentric coordinates in the triangle: inside when none is negative.
    const Triangle &t = triangles_[near.triangle];
    const Vec3 a = mesh_.position(t.corner[0]);
    const Vec3 e1 = minus(mesh_.position(t.corner[1]), a), e2 = minus(mesh_.position(t.corner[2]), a), e = minus(p, a);
    const double d11 = dot(e1, e1), d12 = dot(e1, e2), d22 = dot(e2, e2), d1 = dot(e, e1), d2 = dot(e, e2);
    const double denominator = d11 * d22 - d12 * d12;
    const double b1 = (d22 * d1 - d12 * d2) / denominator, b2 = (d11 * d2 - d12 * d1) / denominator;
    if (!(b1 >= 0 && b2 >= 0 && b1 + b2 <= 1))
        return std::nullopt;
    return Sample{near.triangle, {1 - b1 - b2, b1, b2}, p};
}

} // namespace tuft::scatter
