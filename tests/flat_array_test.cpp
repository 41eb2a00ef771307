#include "host/flat_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tuft::host {
namespace {

// A value that tells where it belongs.
std::uint64_t mark(std::size_t i, std::uint64_t salt) { return (i + 1) * 0x9E3779B97F4A7C15ull ^ salt; }

bool holdsMarks(const FlatArray<std::uint64_t> &array, std::uint64_t salt)
{
    for (std::size_t i = 0; i < array.size(); ++i)
        if (array[i] != mark(i, salt))
            return false;
    return true;
}

TEST(FlatArray, GrowsIntoItsOwnMappingKeepingEveryValue)
{
    // Past 1 MiB an array moves into a mapping of its own and grows there, with pages
    // made ready ahead of its end; every way of growing it keeps what it held.
    FlatArray<std::uint64_t> array;
    std::vector<std::uint64_t> chunk(1000);
    while (array.size() < (std::size_t(40) << 20) / sizeof(std::uint64_t)) {
        array.push_back(mark(array.size(), 7));
        for (std::size_t k = 0; k < chunk.size(); ++k)
            chunk[k] = mark(array.size() + k, 7);
        array.append(chunk.data(), chunk.size());
        const std::size_t before = array.size();
        array.resize(before + 3, 0);
        for (std::size_t k = 0; k < 3; ++k)
            array[before + k] = mark(before + k, 7);
    }
    EXPECT_TRUE(holdsMarks(array, 7));
    FlatArray<std::uint64_t> copy(array);
    FlatArray<std::uint64_t> other;
    other.swap(array);
    EXPECT_TRUE(array.empty());
    EXPECT_TRUE(holdsMarks(other, 7));
    EXPECT_TRUE(copy == other);
    // A swapped-in array goes on growing where it is.
    for (std::size_t k = 0; k < 100000; ++k)
        other.push_back(mark(other.size(), 7));
    EXPECT_TRUE(holdsMarks(other, 7));
}

TEST(FlatArray, PagesMadeReadyNeverChangeWhatArraysHold)
{
    // Arrays freed while their pages are still being made ready, their addresses taken
    // up by new arrays: the new arrays hold exactly what was put in them.
    for (std::uint64_t round = 0; round < 6; ++round) {
        {
            FlatArray<std::uint64_t> doomed;
            for (std::size_t i = 0; i < (std::size_t(24) << 20) / sizeof(std::uint64_t); ++i)
                doomed.push_back(i);
        }
        FlatArray<std::uint64_t> kept;
        for (std::size_t i = 0; i < (std::size_t(24) << 20) / sizeof(std::uint64_t); ++i)
            kept.push_back(mark(i, round));
        ASSERT_TRUE(holdsMarks(kept, round)) << "round " << round;
    }
}

} // namespace
} // namespace tuft::host
