// The random source. Pure arithmetic, free of host calls.
#pragma once

#include <cstdint>

namespace tuft {

constexpr std::uint32_t kSeedMask = 0x075BD924u;
constexpr std::uint32_t kMultiplier = 69069u;

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

} // namespace tuft
