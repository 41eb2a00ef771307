// Numbers as text: exactly the bytes std::to_chars writes (shortest text that reads
// back as the same value, fixed or scientific, whichever is shorter, fixed on a tie),
// only faster. Each writer needs at most kNumberTextMax bytes at `out` and returns the
// end of what it wrote.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

namespace tuft::meshio {

constexpr std::size_t kNumberTextMax = 48;

char *writeNumber(char *out, double value);
char *writeNumber(char *out, float value);
char *writeNumber(char *out, std::uint64_t value);

// Remembers the text of the values it wrote last: a mesh repeats some values far more
// often than chance would (the heights of copies of one blade, their UVs), and copying
// their text is ten times cheaper than making it. Where values seldom repeat it soon
// stops looking. The text is the same with or without it.
template <typename Float> class NumberMemo {
public:
    NumberMemo() { std::fill(std::begin(keys_), std::end(keys_), kEmpty); }

    char *write(char *out, Float value)
    {
        if (!active_ || !std::isfinite(value))
            return writeNumber(out, value);
        if (++lookups_ == kWindow) {
            active_ = hits_ * 4 >= kWindow; // a quarter found, or it is not worth it
            lookups_ = hits_ = 0;
        }
        std::uint64_t key = 0;
        std::memcpy(&key, &value, sizeof value);
        const std::size_t slot = static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ull >> (64 - kSlotBits));
        Entry &entry = entries_[slot];
        if (keys_[slot] == key) {
            ++hits_;
            std::memcpy(out, entry.text, kLongest);
            return out + entry.length;
        }
        char *end = writeNumber(out, value);
        const std::size_t length = static_cast<std::size_t>(end - out);
        keys_[slot] = key;
        entry.length = static_cast<std::uint8_t>(length);
        std::memcpy(entry.text, out, kLongest);
        return end;
    }

private:
    static constexpr int kSlotBits = 10;
    static constexpr std::uint32_t kWindow = 4096;
    // No key of a Float: doubles with every bit set are NaNs, which are never remembered.
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    static constexpr std::size_t kLongest = 24; // "-2.2250738585072014e-308"
    struct Entry {
        char text[31];
        std::uint8_t length;
    };

    std::uint64_t keys_[1 << kSlotBits];
    Entry entries_[1 << kSlotBits];
    std::uint32_t lookups_ = 0, hits_ = 0;
    bool active_ = true;
};

} // namespace tuft::meshio
