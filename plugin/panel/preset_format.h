// The ".zts" preset format: 13 lines, "ZELTUFTSPROUT", two integers and ten doubles.
// Pure text handling, free of host calls.
#pragma once

#include <cstddef>

namespace tuft {

constexpr int kPresetDoubles = 10;

// Lines 2 to 13 in file order: Number, Division, then Size, Field, Roughness(random),
// Rotation(random) and the six profile sliders.
struct PresetValues {
    int number;
    int division;
    double doubles[kPresetDoubles];
};

constexpr const char *kPresetHeader = "ZELTUFTSPROUT";
constexpr int kPresetHeaderCompared = 12;
// Reads are at most 14 characters, as a 15-byte line buffer gives.
constexpr int kPresetReadLength = 14;
constexpr int kPresetReads = 13;

// "%g" with a '.' whatever the locale and an exponent of at least three digits
// (1e-005), the way the format has always been written. `out` holds 32 bytes.
void formatPresetDouble(double value, char (&out)[32]);

// The whole file: lines end in CR LF, the last has no line end. Returns the byte count
// written to `out`, which must hold 512 bytes.
std::size_t formatPreset(const PresetValues &values, char (&out)[512]);

// atoi and atof as C reads them in the "C" locale: leading blanks, one sign, the longest
// number that parses; 0 when none does. Integers saturate instead of overflowing; a
// double that is not a finite number (nan, inf, beyond the range) reads as 0, as one
// that does not parse.
int parsePresetInt(const char *text);
double parsePresetDouble(const char *text);

// The next read of at most 14 characters from `data`, starting at `position`: it ends
// after a line end, at the 14th character, or at the end of the data. CR LF counts as
// one line end ('\n'), as in a text-mode read. False when nothing was left.
bool nextPresetRead(const char *data, std::size_t size, std::size_t &position, char (&out)[kPresetReadLength + 1]);

// Reads beyond the 13th are never looked at, so a file is read this far at the most.
constexpr std::size_t kPresetBytesRead = 2 * kPresetReads * kPresetReadLength;

// True when a first read carries the header: its first 12 characters match.
bool isPresetHeader(const char *firstRead);

// Stores read number `index` (1..12) into the values; later reads are ignored.
void applyPresetRead(int index, const char *text, PresetValues &values);

} // namespace tuft
