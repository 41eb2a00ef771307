// The random source and the per-blade draws. Pure arithmetic, free of host calls.
#pragma once

#include <cstdint>

namespace tuft {

constexpr std::uint32_t kSeedMask = 0x075BD924u;
constexpr std::uint32_t kMultiplier = 69069u;
constexpr double kRadiansToDegrees = 57.29577951308232;

// A multiplicative congruential generator modulo 2^32, without increment.
struct RandomSource {
    std::uint32_t state;

    // From the calendar time in seconds, cut to its low 32 bits.
    void seed(std::uint64_t seconds) { state = static_cast<std::uint32_t>(seconds) ^ kSeedMask; }

    // Steps the state and returns it / 2^32, in [0, 1).
    double draw()
    {
        state *= kMultiplier;
        return state / 4294967296.0;
    }
};

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

inline double drawTurn(RandomSource &random, const RunValues &run)
{
    return random.draw() * run.maximumTurn;
}

} // namespace tuft
