// The three transforms the commands apply (scale, turn, move), one point at a time. A
// mesh applies each to all its points in turn; an instance keeps the list and replays it
// on each point of its blade. Both call these functions, so a point placed either way
// comes out with the same bits.
#pragma once

#include "host/mesh.h"

#include <cstddef>
#include <cstdint>

namespace tuft::host {

inline void scalePoint(Vec3 &p, const Vec3 &f, const Vec3 &c)
{
    p.x = c.x + (p.x - c.x) * f.x;
    p.y = c.y + (p.y - c.y) * f.y;
    p.z = c.z + (p.z - c.z) * f.z;
}

// A turn's cosine and sine, computed once for all the points it turns.
struct Turn {
    double cs, sn;
};
Turn turnOf(double degrees);

// Left-hand rule: +90 about X takes +Y to -Z, about Z it takes +Y to +X.
inline void turnAboutX(Vec3 &p, const Turn &t, const Vec3 &c)
{
    const double y = p.y - c.y;
    const double z = p.z - c.z;
    p.y = c.y + y * t.cs + z * t.sn;
    p.z = c.z - y * t.sn + z * t.cs;
}
inline void turnAboutY(Vec3 &p, const Turn &t, const Vec3 &c)
{
    const double x = p.x - c.x;
    const double z = p.z - c.z;
    p.x = c.x + x * t.cs - z * t.sn;
    p.z = c.z + x * t.sn + z * t.cs;
}
inline void turnAboutZ(Vec3 &p, const Turn &t, const Vec3 &c)
{
    const double x = p.x - c.x;
    const double y = p.y - c.y;
    p.x = c.x + x * t.cs + y * t.sn;
    p.y = c.y - x * t.sn + y * t.cs;
}

inline void movePoint(Vec3 &p, const Vec3 &offset)
{
    p.x += offset.x;
    p.y += offset.y;
    p.z += offset.z;
}

// One transform of a placement. Its numbers follow it in the placement's list: a scale's
// three factors, a turn's cosine and sine, a move's offset; then, when `centred`, the
// centre (else the origin).
struct Step {
    enum Kind : std::uint8_t { kScale, kTurnX, kTurnY, kTurnZ, kMove } kind;
    bool centred;

    bool operator==(const Step &other) const { return kind == other.kind && centred == other.centred; }
    std::size_t numbers() const { return (kind == kScale || kind == kMove ? 3 : 2) + (centred ? 3 : 0); }
};

// Applies one step to `count` points; `numbers` holds the step's.
inline void applyStep(const Step &step, const double *numbers, Vec3 *points, std::size_t count)
{
    const double *n = numbers;
    const Vec3 c =
        step.centred ? Vec3{n[step.numbers() - 3], n[step.numbers() - 2], n[step.numbers() - 1]} : Vec3{0.0, 0.0, 0.0};
    switch (step.kind) {
    case Step::kScale:
        for (std::size_t i = 0; i < count; ++i)
            scalePoint(points[i], {n[0], n[1], n[2]}, c);
        break;
    case Step::kTurnX:
        for (std::size_t i = 0; i < count; ++i)
            turnAboutX(points[i], {n[0], n[1]}, c);
        break;
    case Step::kTurnY:
        for (std::size_t i = 0; i < count; ++i)
            turnAboutY(points[i], {n[0], n[1]}, c);
        break;
    case Step::kTurnZ:
        for (std::size_t i = 0; i < count; ++i)
            turnAboutZ(points[i], {n[0], n[1]}, c);
        break;
    case Step::kMove:
        for (std::size_t i = 0; i < count; ++i)
            movePoint(points[i], {n[0], n[1], n[2]});
        break;
    }
}

} // namespace tuft::host
