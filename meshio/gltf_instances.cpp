#include "meshio/gltf_instances.h"

#include "meshio/export_layer.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace tuft::meshio::gltf {

namespace {

struct Quaternion {
    double x, y, z, w;
};

// a·b: b's turn first, then a's.
Quaternion times(const Quaternion &a, const Quaternion &b)
{
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// The host's turn by the angle of cosine `cs` and sine `sn` is the right-handed turn by
// its negative: about the axis, the quaternion (-sin(a/2) along it, cos(a/2)). The half
// angle's cosine and sine come from the whole's without trigonometry, each from the
// formula that does not cancel.
Quaternion turnQuaternion(host::Step::Kind kind, double cs, double sn)
{
    double c, s;
    if (cs >= 0.0) {
        c = std::sqrt((1.0 + cs) / 2.0);
        s = sn / (2.0 * c);
    } else {
        s = std::copysign(std::sqrt((1.0 - cs) / 2.0), sn);
        c = sn / (2.0 * s);
    }
    return {kind == host::Step::kTurnX ? -s : 0.0, kind == host::Step::kTurnY ? -s : 0.0,
            kind == host::Step::kTurnZ ? -s : 0.0, c};
}

bool isTurn(host::Step::Kind kind)
{
    return kind == host::Step::kTurnX || kind == host::Step::kTurnY || kind == host::Step::kTurnZ;
}

// The numbers of an instance's steps of one kind (moves, scales), combined axis by axis
// from `start` in the order the steps come.
template <typename Combine> std::array<float, 3> combinedOf(const host::InstanceRun &run, std::size_t instance,
                                                            host::Step::Kind kind, double start, const Combine &combine)
{
    double value[3] = {start, start, start};
    const double *n = run.numbersOf(instance);
    for (const host::Step &step : run.steps) {
        if (step.kind == kind) {
            const host::Vec3 v = host::vectorOf(step, n);
            value[0] = combine(value[0], v.x);
            value[1] = combine(value[1], v.y);
            value[2] = combine(value[2], v.z);
        }
        n += step.numbers();
    }
    return {static_cast<float>(value[0]), static_cast<float>(value[1]), static_cast<float>(value[2])};
}

// A step's place in T·R·S: scales 0, turns 1, moves 2.
int stage(host::Step::Kind kind) { return kind == host::Step::kScale ? 0 : isTurn(kind) ? 1 : 2; }

} // namespace

bool isTrs(const host::InstanceRun &run)
{
    int last = 0;
    for (const host::Step &step : run.steps) {
        if (step.centred || stage(step.kind) < last)
            return false;
        last = stage(step.kind);
    }
    return true;
}

Trs trsOf(const host::InstanceRun &run, std::size_t instance)
{
    Trs trs;
    const std::array<float, 3> move = translationOf(run, instance), scale = scaleOf(run, instance);
    const std::array<float, 4> turn = rotationOf(run, instance);
    std::copy(move.begin(), move.end(), trs.translation);
    std::copy(turn.begin(), turn.end(), trs.rotation);
    std::copy(scale.begin(), scale.end(), trs.scale);
    return trs;
}

std::array<float, 3> translationOf(const host::InstanceRun &run, std::size_t instance)
{
    return combinedOf(run, instance, host::Step::kMove, 0.0, [](double a, double b) { return a + b; });
}

std::array<float, 4> rotationOf(const host::InstanceRun &run, std::size_t instance)
{
    Quaternion turn{0.0, 0.0, 0.0, 1.0};
    const double *n = run.numbersOf(instance);
    for (const host::Step &step : run.steps) {
        if (isTurn(step.kind))
            turn = times(turnQuaternion(step.kind, n[0], n[1]), turn);
        n += step.numbers();
    }
    const double length = std::sqrt(turn.x * turn.x + turn.y * turn.y + turn.z * turn.z + turn.w * turn.w);
    return {static_cast<float>(turn.x / length), static_cast<float>(turn.y / length),
            static_cast<float>(turn.z / length), static_cast<float>(turn.w / length)};
}

std::array<float, 3> scaleOf(const host::InstanceRun &run, std::size_t instance)
{
    return combinedOf(run, instance, host::Step::kScale, 1.0, [](double a, double b) { return a * b; });
}

Trs zUpTrs(Trs trs)
{
    yUpToZUp(trs.translation[0], trs.translation[1], trs.translation[2]);
    yUpToZUp(trs.rotation[0], trs.rotation[1], trs.rotation[2]);
    std::swap(trs.scale[1], trs.scale[2]);
    return trs;
}

SplitLayer splitInstances(const host::Layer &layer)
{
    SplitLayer split{{layer.number, layer.slot, {}}, {}, {}};
    std::size_t instances = 0;
    for (const host::LayerMesh::Piece &piece : layer.mesh.pieces()) {
        if (piece.run && isTrs(*piece.run)) {
            split.runs.push_back({piece.run.get(), instances, piece.firstPoint});
        } else {
            split.restOrigins.emplace_back(split.rest.mesh.pointCount(), piece.firstPoint);
            split.rest.mesh.appendPiece(piece);
        }
        instances += piece.run ? piece.run->count : 0;
    }
    return split;
}

std::size_t SplitLayer::layerPointOf(std::size_t restPoint) const
{
    const auto after = std::upper_bound(restOrigins.begin(), restOrigins.end(), restPoint,
                                        [](std::size_t point, const auto &origin) { return point < origin.first; });
    if (after == restOrigins.begin())
        return restPoint;
    const auto &[restFirst, layerFirst] = *(after - 1);
    return layerFirst + (restPoint - restFirst);
}

host::Layer bladeLayer(const host::Layer &layer, const host::InstanceRun &run)
{
    host::Layer blade{layer.number, layer.slot, {}};
    blade.mesh.append(*run.blade);
    return blade;
}

} // namespace tuft::meshio::gltf
