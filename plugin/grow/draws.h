// What every planting mode draws per blade: scale factors and a turn. Pure arithmetic.
#pragma once

#include "plugin/grow/random.h"

namespace tuft {

constexpr double kRadiansToDegrees = 57.29577951308232;

// What every planting mode computes once from the options at its start.
struct RunValues {
    double roughnessFloor;
    double roughnessSpan;
    double maximumTurn; // degrees
    bool ratioFixation;
};

inline RunValues makeRunValues(double roughnessPercent, double rotationRadians, bool ratioFixation)
{
    RunValues values;
    values.roughnessFloor = 1 - roughnessPercent / 100;
    values.roughnessSpan = 1 - values.roughnessFloor;
    values.maximumTurn = rotationRadians * kRadiansToDegrees;
    values.ratioFixation = ratioFixation;
    return values;
}

struct Scale {
    double x, y, z;
};

// One draw for all three factors with ratio fixation, else three draws: X, Y, Z.
inline Scale drawScale(RandomSource &random, const RunValues &run)
{
    if (run.ratioFixation) {
        const double factor = run.roughnessFloor + random.draw() * run.roughnessSpan;
        return {factor, factor, factor};
    }
    const double x = run.roughnessFloor + random.draw() * run.roughnessSpan;
    const double y = run.roughnessFloor + random.draw() * run.roughnessSpan;
    const double z = run.roughnessFloor + random.draw() * run.roughnessSpan;
    return {x, y, z};
}

inline double drawTurn(RandomSource &random, const RunValues &run) { return random.draw() * run.maximumTurn; }

} // namespace tuft
