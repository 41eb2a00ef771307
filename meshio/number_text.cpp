// The shortest digits come from {fmt}'s Dragonbox search (about 18 ns a double, where
// std::to_chars takes about 50 ns in all); the layout around them follows to_chars.
// Digits are made in registers and stored whole, with fixed-size stores that compile to
// a few moves instead of calls; text stored in pieces is never read back.
#include "meshio/number_text.h"

#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace tuft::meshio {

namespace {

constexpr char kPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                          "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                          "8081828384858687888990919293949596979899";

struct PowersOfTen {
    constexpr PowersOfTen() : value()
    {
        std::uint64_t power = 1;
        for (std::uint64_t &entry : value) {
            entry = power;
            power *= 10;
        }
    }
    std::uint64_t value[20];
};
constexpr PowersOfTen kPowers;

int digitCount(std::uint64_t value)
{
    value |= 1;                                                   // the same count; 0 has one digit
    const int guess = (64 - __builtin_clzll(value)) * 1233 >> 12; // log10 or one less
    return guess + (value >= kPowers.value[guess]);
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "digits are stored as little-endian words");

// The eight digits of value < 10^8 as one word, first digit in the lowest byte: both
// halves, then their pairs, then their digits are split at once in the word's lanes.
std::uint64_t eightDigits(std::uint32_t value)
{
    const std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t pairsHigh = (halves * 10486 >> 20) & 0x0000007F0000007Full; // /100 in each half
    const std::uint64_t pairs = (halves - 100 * pairsHigh) << 16 | pairsHigh;
    std::uint64_t digits = (pairs * 103 >> 10) & 0x000F000F000F000Full; // /10 in each pair
    digits |= (pairs - 10 * digits) << 8;
    return digits | 0x3030303030303030ull;
}

// Up to sixteen characters held in two words, the first in the lowest byte of `low`:
// text built in registers and stored whole, never stored in pieces and read back
// (a read across earlier smaller stores waits for them, longer than making the digits).
struct Text16 {
    std::uint64_t low = 0, high = 0;

    static std::uint64_t down(std::uint64_t word, int bits) { return bits >= 64 ? 0 : word >> bits; }
    static std::uint64_t up(std::uint64_t word, int bits) { return bits >= 64 ? 0 : word << bits; }

    // The text without its first `bytes` characters (0 to 16).
    Text16 dropFirst(int bytes) const
    {
        const int bits = 8 * bytes;
        if (bits >= 64)
            return {down(high, bits - 64), 0};
        return {down(low, bits) | up(high, 64 - bits), down(high, bits)};
    }
    // The text after `bytes` characters of zero bytes (0 to 16); the last ones fall off.
    Text16 after(int bytes) const
    {
        const int bits = 8 * bytes;
        if (bits >= 64)
            return {0, up(low, bits - 64)};
        return {up(low, bits), up(high, bits) | down(low, 64 - bits)};
    }
    // The first `bytes` characters (0 to 16), zero bytes after.
    Text16 first(int bytes) const
    {
        const int bits = 8 * bytes;
        if (bits >= 64)
            return {low, bits >= 128 ? high : high & (up(1, bits - 64) - 1)};
        return {low & (up(1, bits) - 1), 0};
    }
    Text16 operator|(const Text16 &other) const { return {low | other.low, high | other.high}; }
    void store(char *out) const
    {
        std::memcpy(out, &low, 8);
        std::memcpy(out + 8, &high, 8);
    }
};

// The digits of a significand of `count` digits (1 to 17), first in the lowest byte: the
// first sixteen, and the seventeenth apart.
struct Significand {
    Significand(std::uint64_t value, int count)
    {
        if (count <= 16) {
            const Text16 all{eightDigits(static_cast<std::uint32_t>(value / 100000000)),
                             eightDigits(static_cast<std::uint32_t>(value % 100000000))};
            digits = all.dropFirst(16 - count);
            return;
        }
        const std::uint64_t rest = value % 10000000000000000ull;
        const Text16 last16{eightDigits(static_cast<std::uint32_t>(rest / 100000000)),
                            eightDigits(static_cast<std::uint32_t>(rest % 100000000))};
        digits = last16.after(1) | Text16{'0' + value / 10000000000000000ull, 0};
        seventeenth = static_cast<char>(last16.high >> 56);
    }
    // Stores the digits at `out`; what follows them there is scratch.
    void store(char *out) const
    {
        digits.store(out);
        out[16] = seventeenth;
    }
    // Stores the digits at `out` with a point after the first `whole` (1 to 16).
    void storeWithPoint(char *out, int whole) const
    {
        if (whole == 16) { // only the seventeenth after the point
            digits.store(out);
            out[16] = '.';
            out[17] = seventeenth;
            return;
        }
        store(out + 1);
        (digits.first(whole) | Text16{'.', 0}.after(whole) | digits.dropFirst(whole).after(whole + 1)).store(out);
    }

    Text16 digits;
    char seventeenth = 0;
};

int fixedLength(int digits, int exponent)
{
    if (exponent >= 0)
        return digits + exponent;
    if (digits + exponent > 0)
        return digits + 1;
    return 2 - exponent;
}

int scientificLength(int digits, int exponent)
{
    const int power = std::abs(exponent + digits - 1);
    return digits + (digits > 1) + 2 + (power >= 100 ? 3 : 2);
}

// significand * 10^exponent in fixed form. Chosen only when no longer than the
// scientific form, so at most 5 zeros follow a whole number and at most 4 lead a fraction.
char *writeFixed(char *out, const Significand &digits, int count, int exponent)
{
    if (exponent >= 0) {
        digits.store(out);
        std::memcpy(out + count, "00000000", 8);
        return out + count + exponent;
    }
    const int whole = count + exponent;
    if (whole > 0) {
        digits.storeWithPoint(out, whole);
        return out + count + 1;
    }
    std::memcpy(out, "0.000000", 8);
    digits.store(out + 2 - whole);
    return out + 2 - exponent;
}

char *writeScientific(char *out, const Significand &digits, int count, int exponent)
{
    char *end = out + 1;
    if (count > 1) {
        digits.storeWithPoint(out, 1);
        end = out + count + 1;
    } else {
        digits.store(out);
    }
    int power = exponent + count - 1;
    *end++ = 'e';
    *end++ = power < 0 ? '-' : '+';
    power = std::abs(power);
    if (power >= 100) {
        *end++ = static_cast<char>('0' + power / 100);
        power %= 100;
    }
    std::memcpy(end, kPairs + 2 * power, 2);
    return end + 2;
}

template <typename Float> char *writeShortest(char *out, Float value)
{
    if (!std::isfinite(value) || value == 0)
        return std::to_chars(out, out + kNumberTextMax, value).ptr;
    // Without a branch: signs of coordinates are as good as random.
    *out = '-';
    out += std::signbit(value);
    value = std::fabs(value);
    const auto decimal = fmt::detail::dragonbox::to_decimal(value);
    const int count = digitCount(decimal.significand);
    const Significand digits(decimal.significand, count);
    if (fixedLength(count, decimal.exponent) > scientificLength(count, decimal.exponent))
        return writeScientific(out, digits, count, decimal.exponent);
    // A whole number in fixed form is written exactly, not as its shortest digits
    // padded with zeros: the two differ once the spacing of values passes 1.
    constexpr Float kExactWhole = static_cast<Float>(std::uint64_t{1} << std::numeric_limits<Float>::digits);
    if (decimal.exponent > 0 && value >= kExactWhole)
        return std::to_chars(out, out + kNumberTextMax, value, std::chars_format::fixed).ptr;
    return writeFixed(out, digits, count, decimal.exponent);
}

} // namespace

char *writeNumber(char *out, double value) { return writeShortest(out, value); }

char *writeNumber(char *out, float value) { return writeShortest(out, value); }

char *writeNumber(char *out, std::uint64_t value)
{
    const int count = digitCount(value);
    if (count <= 8) { // point numbers of most meshes: one word, leading zeros shifted out
        const std::uint64_t digits = eightDigits(static_cast<std::uint32_t>(value)) >> (8 * (8 - count));
        std::memcpy(out, &digits, 8);
        return out + count;
    }
    if (count <= 17) {
        Significand(value, count).store(out);
        return out + count;
    }
    return std::to_chars(out, out + kNumberTextMax, value).ptr;
}

} // namespace tuft::meshio
