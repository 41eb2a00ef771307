// The shortest digits come from {fmt}'s Dragonbox search (about 18 ns a double, where
// std::to_chars takes about 50 ns in all); the layout around them follows to_chars.
// Digits are made in fixed places of a scratch buffer and moved with fixed-size copies,
// which compile to a few vector moves instead of calls.
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

void writeFour(char *out, std::uint32_t value)
{
    std::memcpy(out, kPairs + 2 * (value / 100), 2);
    std::memcpy(out + 2, kPairs + 2 * (value % 100), 2);
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

// All twenty digits of value, leading zeros included.
struct Digits {
    explicit Digits(std::uint64_t value)
    {
        const std::uint64_t low = value % 10000000000000000ull;
        writeFour(text, static_cast<std::uint32_t>(value / 10000000000000000ull));
        const std::uint64_t middle = eightDigits(static_cast<std::uint32_t>(low / 100000000));
        const std::uint64_t last = eightDigits(static_cast<std::uint32_t>(low % 100000000));
        std::memcpy(text + 4, &middle, 8);
        std::memcpy(text + 12, &last, 8);
    }
    // The first of the `count` significant digits; 24 bytes may be read from there.
    const char *first(int count) const { return text + 20 - count; }

    char text[20 + 24] = {};
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
char *writeFixed(char *out, const Digits &digits, int count, int exponent)
{
    if (exponent >= 0) {
        std::memcpy(out, digits.first(count), 24);
        std::memcpy(out + count, "00000000", 8);
        return out + count + exponent;
    }
    const int whole = count + exponent;
    if (whole > 0) {
        std::memcpy(out, digits.first(count), 24);
        std::memcpy(out + whole + 1, digits.first(count) + whole, 24);
        out[whole] = '.';
        return out + count + 1;
    }
    std::memcpy(out, "0.000000", 8);
    std::memcpy(out + 2 - whole, digits.first(count), 24);
    return out + 2 - exponent;
}

char *writeScientific(char *out, const Digits &digits, int count, int exponent)
{
    std::memcpy(out + 1, digits.first(count), 24);
    out[0] = out[1];
    char *end = out + 1;
    if (count > 1) {
        out[1] = '.';
        end = out + count + 1;
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
    const Digits digits(decimal.significand);
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
    std::memcpy(out, Digits(value).first(count), 24);
    return out + count;
}

} // namespace tuft::meshio
