// Points gathered in clumps (a cluster process): a number of centres scattered by area,
// and each point drawn uniformly by area from the surface within a radius of a centre
// chosen at random. The surface near a centre is the triangles reached from the one it
// lies on, across shared edges, while they come within the radius.
#pragma once

#include "scatter/sampling.h"

#include <optional>
#include <vector>

namespace tuft::scatter {

class Clumps {
public:
    // `centres` on the surface, the triangle each lies on among `triangles`.
    Clumps(const host::LayerMesh &mesh, const std::vector<Triangle> &triangles, const std::vector<Sample> &centres,
           double radius);

    // A point within the radius of a centre, or none when this try missed (draw again).
    std::optional<Sample> draw(Random &random) const;

private:
    // A triangle near a centre, drawn by `weight`: its area, or the area of the disc the
    // ball cuts from its plane when that is smaller; the point is then drawn in that disc.
    struct Near {
        std::uint32_t triangle;
        bool inDisc;
        host::Vec3 discCentre, u, v; // the disc: its centre and two axes of its radius
    };
    std::optional<Sample> inTriangle(const Near &near, const host::Vec3 &centre, Random &random) const;
    std::optional<Sample> inDisc(const Near &near, Random &random) const;

    const host::LayerMesh &mesh_;
    const std::vector<Triangle> &triangles_;
    double radius_;
    std::vector<host::Vec3> centres_;
    std::vector<std::size_t> firstNear_; // a centre's triangles: near_[firstNear_[c] .. firstNear_[c + 1])
    std::vector<Near> near_;
    std::vector<double> cumulative_; // the weights of near_, summed centre by centre
};

} // namespace tuft::scatter
