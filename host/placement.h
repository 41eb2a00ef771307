// The three transforms the commands apply (scale, turn, move), one point at a time. A
// mesh applies each to all its points in turn; an instance keeps the list and replays it
// on each point of its blade. Both call these functions, so a point placed either way
// comes out with the same bits.
#pragma once

#include "host/mesh.h"

#include <cstddef>
#include <cstdint>
#include <vector>

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
// centre (else the origin). A `compact` scale has one factor for all three axes and a
// compact move no rise (its offset's y is +0): their numbers leave out the repeats, and a
// planted blade costs 40 bytes instead of 64.
struct Step {
    enum Kind : std::uint8_t { kScale, kTurnX, kTurnY, kTurnZ, kMove } kind;
    bool centred;
    bool compact = false;

    bool operator==(const Step &other) const
    {
        return kind == other.kind && centred == other.centred && compact == other.compact;
    }
    std::size_t numbers() const { return ownNumbers() + (centred ? 3 : 0); }
    std::size_t ownNumbers() const
    {
        if (kind == kScale)
            return compact ? 1 : 3;
        if (kind == kMove)
            return compact ? 2 : 3;
        return 2;
    }
};

// A scale's factors or a move's offset, from the step's numbers.
inline Vec3 vectorOf(const Step &step, const double *n)
{
    if (!step.compact)
        return {n[0], n[1], n[2]};
    return step.kind == Step::kScale ? Vec3{n[0], n[0], n[0]} : Vec3{n[0], 0.0, n[1]};
}

// Applies one step to `count` points; `numbers` holds the step's.
inline void applyStep(const Step &step, const double *numbers, Vec3 *points, std::size_t count)
{
    const double *n = numbers;
    const double *centre = n + step.ownNumbers();
    const Vec3 c = step.centred ? Vec3{centre[0], centre[1], centre[2]} : Vec3{0.0, 0.0, 0.0};
    switch (step.kind) {
    case Step::kScale: {
        const Vec3 f = vectorOf(step, n);
        for (std::size_t i = 0; i < count; ++i)
            scalePoint(points[i], f, c);
        break;
    }
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
    case Step::kMove: {
        const Vec3 offset = vectorOf(step, n);
        for (std::size_t i = 0; i < count; ++i)
            movePoint(points[i], offset);
        break;
    }
    }
}

// Whether placements by steps `from` can join a run by steps `to`: the same steps, each
// as compact as the run's or more, to be written out in full.
inline bool widensTo(const std::vector<Step> &from, const std::vector<Step> &to)
{
    if (from.size() != to.size())
        return false;
    for (std::size_t i = 0; i < from.size(); ++i)
        if (from[i].kind != to[i].kind || from[i].centred != to[i].centred || (to[i].compact && !from[i].compact))
            return false;
    return true;
}

// Appends the numbers of placement `n` by steps `from` as steps `to` hold them.
inline void appendWidened(const std::vector<Step> &from, const double *n, const std::vector<Step> &to,
                          FlatArray<double> &into)
{
    for (std::size_t i = 0; i < from.size(); ++i) {
        if (from[i].compact == to[i].compact) {
            into.append(n, from[i].numbers());
        } else {
            const Vec3 v = vectorOf(from[i], n);
            const double full[3] = {v.x, v.y, v.z};
            into.append(full, 3);
            into.append(n + from[i].ownNumbers(), from[i].numbers() - from[i].ownNumbers());
        }
        n += from[i].numbers();
    }
}

} // namespace tuft::host
