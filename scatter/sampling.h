// What scattering draws points with: the host's own random numbers, the triangles of the
// selected polygons, and a point drawn on one of them.
#pragma once

#include "host/layer_mesh.h"

#include <cstdint>

namespace tuft::scatter {

// xoshiro256** seeded through splitmix64: the host's own random numbers, apart from the
// plug-in's, the same for the same seed everywhere.
class Random {
public:
    explicit Random(std::uint64_t seed)
    {
        for (std::uint64_t &word : state_) {
            seed += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }
    // In [0, 1).
    double next()
    {
        const std::uint64_t result = rotate(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotate(state_[3], 45);
        return static_cast<double>(result >> 11) * (1.0 / 9007199254740992.0);
    }

private:
    static std::uint64_t rotate(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t state_[4];
};

struct Triangle {
    std::uint32_t polygon; // the one it is part of
    std::uint32_t corner[3];
    double area;
    float density[3]; // the density map at the corners, 0..1
    float most;       // the largest of them
};

// A point on a triangle: which, its barycentric coordinates, and where it is.
struct Sample {
    std::size_t triangle;
    double b[3];
    host::Vec3 p;
};

// The point of the triangle at barycentric coordinates `b`.
inline host::Vec3 pointAt(const host::LayerMesh &mesh, const Triangle &t, const double *b)
{
    host::Vec3 p{0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const host::Vec3 c = mesh.position(t.corner[i]);
        p.x += b[i] * c.x;
        p.y += b[i] * c.y;
        p.z += b[i] * c.z;
    }
    return p;
}

// The density map where a point of the triangle lies.
inline double densityAt(const Triangle &t, const double *b)
{
    return b[0] * t.density[0] + b[1] * t.density[1] + b[2] * t.density[2];
}

} // namespace tuft::scatter
