#include "scatter/edge_falloff.h"

#include "sdk/modeler_host.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace tuft::scatter {

namespace {

using host::Vec3;

double distanceToSegment(const Vec3 &p, const Vec3 &a, const Vec3 &b)
{
    const Vec3 ab{b.x - a.x, b.y - a.y, b.z - a.z}, ap{p.x - a.x, p.y - a.y, p.z - a.z};
    const double length = ab.x * ab.x + ab.y * ab.y + ab.z * ab.z;
    const double t = length > 0 ? std::clamp((ap.x * ab.x + ap.y * ab.y + ap.z * ab.z) / length, 0.0, 1.0) : 0.0;
    const Vec3 off{ap.x - t * ab.x, ap.y - t * ab.y, ap.z - t * ab.z};
    return std::sqrt(off.x * off.x + off.y * off.y + off.z * off.z);
}

// The edges of the selected polygons that no other selected polygon shares, in order.
std::vector<std::pair<std::uint32_t, std::uint32_t>> borderEdges(const host::LayerMesh &mesh)
{
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> uses;
    for (std::uint32_t p = 0; p < mesh.polygonCount(); ++p) {
        const host::Polygon polygon = mesh.polygon(p);
        if (!(polygon.flags & MH_FLAG_SELECTED) || polygon.vertexCount < 3)
            continue;
        const host::PolygonPoints v = mesh.pointsOf(p);
        for (std::uint32_t k = 0; k < polygon.vertexCount; ++k) {
            const std::uint32_t a = v[k], b = v[(k + 1) % polygon.vertexCount];
            ++uses[{std::min(a, b), std::max(a, b)}];
        }
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> border;
    for (const auto &[edge, count] : uses)
        if (count == 1)
            border.push_back(edge);
    return border;
}

} // namespace

EdgeFalloff::EdgeFalloff(const host::LayerMesh &mesh, double distance) : distance_(distance)
{
    for (const auto &[first, second] : borderEdges(mesh)) {
        const Vec3 a = mesh.position(first), b = mesh.position(second);
        const double length =
            std::sqrt((b.x - a.x) * (b.x - a.x) + (b.y - a.y) * (b.y - a.y) + (b.z - a.z) * (b.z - a.z));
        // Pieces no longer than a cell: each lies in the cells around its start.
        const std::size_t pieces = std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(length / distance)));
        for (std::size_t k = 0; k < pieces; ++k) {
            const double s = double(k) / double(pieces), t = double(k + 1) / double(pieces);
            const Segment piece{{a.x + s * (b.x - a.x), a.y + s * (b.y - a.y), a.z + s * (b.z - a.z)},
                                {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.z + t * (b.z - a.z)}};
            const auto index = static_cast<std::uint32_t>(segments_.size());
            segments_.push_back(piece);
            cells_[key(cell(piece.a.x), cell(piece.a.y), cell(piece.a.z))].push_back(index);
        }
    }
}

std::int64_t EdgeFalloff::cell(double value) const
{
    return static_cast<std::int64_t>(std::clamp(std::floor(value / distance_), -1.0e15, 1.0e15));
}

std::uint64_t EdgeFalloff::key(std::int64_t x, std::int64_t y, std::int64_t z)
{
    return static_cast<std::uint64_t>(x) * 0x9E3779B97F4A7C15ull ^
           static_cast<std::uint64_t>(y) * 0xC2B2AE3D27D4EB4Full ^
           static_cast<std::uint64_t>(z) * 0x165667B19E3779F9ull;
}

// The distance to the nearest piece of border within the falloff's distance; that
// distance when there is none so near. A piece starts in its cell and is at most a cell
// long, so the pieces within the distance start within two cells of the point's.
double EdgeFalloff::nearest(const Vec3 &p) const
{
    double best = distance_;
    const std::int64_t cx = cell(p.x), cy = cell(p.y), cz = cell(p.z);
    for (std::int64_t x = cx - 2; x <= cx + 2; ++x)
        for (std::int64_t y = cy - 2; y <= cy + 2; ++y)
            for (std::int64_t z = cz - 2; z <= cz + 2; ++z) {
                const auto found = cells_.find(key(x, y, z));
                if (found == cells_.end())
                    continue;
                for (const std::uint32_t i : found->second)
                    best = std::min(best, distanceToSegment(p, segments_[i].a, segments_[i].b));
            }
    return best;
}

double EdgeFalloff::at(const Vec3 &p) const
{
    const double t = nearest(p) / distance_;
    return t * t * (3 - 2 * t);
}

} // namespace tuft::scatter
