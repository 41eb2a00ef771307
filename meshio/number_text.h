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

// Remembers the text made last for each of a thousand keys: a mesh repeats some texts
// far more often than chance would (the heights of copies of one blade, their UVs), and
// copying text is ten times cheaper than making it. Where keys seldom repeat it soon
// stops looking. `Longest` bounds a text; one less than a power of two, an entry fills a
// whole number of cache lines or halves.
template <std::size_t Longest> class TextMemo {
public:
    TextMemo() { std::fill(std::begin(keys_), std::end(keys_), kEmpty); }

    // The text for `key` (any but ~0) at `out`, which has room for Longest bytes: copied
    // when remembered, else made by make(out), which returns its end.
    template <typename Make> char *write(char *out, std::uint64_t key, const Make &make)
    {
        if (!active_)
            return make(out);
        if (++lookups_ == kWindow) {
            active_ = hits_ * 4 >= kWindow; // a quarter found, or it is not worth it
            lookups_ = hits_ = 0;
        }
        const std::size_t slot = static_cast<std::size_t>(key * 0x9E3779B97F4A7C15ull >> (64 - kSlotBits));
        Entry &entry = entries_[slot];
        if (keys_[slot] == key) {
            ++hits_;
            std::memcpy(out, entry.text, Longest);
            return out + entry.length;
        }
        char *end = make(out);
        keys_[slot] = key;
        entry.length = static_cast<std::uint8_t>(end - out);
        std::memcpy(entry.text, out, Longest);
        return end;
    }

private:
    static_assert(Longest < 256, "a length is a byte");
    static constexpr int kSlotBits = 10;
    static constexpr std::uint32_t kWindow = 4096;
    static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
    struct Entry {
        char text[Longest];
        std::uint8_t length;
    };

    std::uint64_t keys_[1 << kSlotBits];
    Entry entries_[1 << kSlotBits];
    std::uint32_t lookups_ = 0, hits_ = 0;
    bool active_ = true;
};

// The text of numbers, remembered by their bits.
template <typename Float> class NumberMemo {
public:
    char *write(char *out, Float value)
    {
        if (!std::isfinite(value)) // never remembered: a double with every bit set is a NaN
            return writeNumber(out, value);
        std::uint64_t key = 0;
        std::memcpy(&key, &value, sizeof value);
        return memo_.write(out, key, [value](char *at) { return writeNumber(at, value); });
    }

private:
    TextMemo<31> memo_; // the longest, "-2.2250738585072014e-308", is 24
};

} // namespace tuft::meshio
