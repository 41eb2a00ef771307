// One vertex per distinct (point, values): corners that stand on the same point with the
// same values (UV and normal, or a surface) share a vertex. What every written file and
// every picture makes its vertices with.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tuft::meshio {

// Values compared as numbers: -0 is 0.
template <std::size_t N> std::array<float, N> weldingKey(std::array<float, N> values)
{
    for (float &value : values)
        value += 0.0f; // -0 becomes +0
    return values;
}
inline std::uint32_t weldingKey(std::uint32_t value) { return value; }

// `Values`: a std::array of floats or a number.
template <typename Values> class Welding {
public:
    // `expected`: how many vertices there will likely be, made room for at once.
    explicit Welding(std::size_t points, std::size_t expected = 0) : first_(points, kNone)
    {
        points_.reserve(expected);
        values_.reserve(expected);
    }

    // A vertex of its own for a point with these values, numbered next (a file that lists
    // every point before the vertices corners add).
    std::uint32_t add(std::uint32_t point, const Values &values)
    {
        const auto vertex = static_cast<std::uint32_t>(points_.size());
        points_.push_back(point);
        values_.push_back(values);
        if (first_[point] == kNone)
            first_[point] = vertex;
        return vertex;
    }

    // The vertex of a corner: its point's first vertex when the values are the same, else
    // that of an earlier corner with them, else a new one. Corners may come in any number
    // of pieces; vertices are numbered in the order they are first used.
    std::uint32_t of(std::uint32_t point, const Values &values)
    {
        const std::uint32_t first = first_[point];
        if (first == kNone)
            return add(point, values);
        if (values_[first] == values)
            return first;
        const auto found = others_.emplace(Key{point, values}, static_cast<std::uint32_t>(points_.size()));
        if (found.second)
            add(point, values);
        return found.first->second;
    }

    // The vertex of the point with these values, or none.
    std::uint32_t find(std::uint32_t point, const Values &values) const
    {
        const std::uint32_t first = first_[point];
        if (first == kNone || values_[first] == values)
            return first;
        const auto found = others_.find(Key{point, values});
        return found != others_.end() ? found->second : kNone;
    }
    // The point's first vertex, or none.
    std::uint32_t firstOf(std::uint32_t point) const { return first_[point]; }

    std::size_t size() const { return points_.size(); }
    std::uint32_t pointOf(std::size_t vertex) const { return points_[vertex]; }
    const Values &valuesOf(std::size_t vertex) const { return values_[vertex]; }

    static constexpr std::uint32_t kNone = ~std::uint32_t(0);

private:
    struct Key {
        std::uint32_t point;
        Values values;
        bool operator==(const Key &other) const { return point == other.point && values == other.values; }
    };
    struct KeyHash {
        std::size_t operator()(const Key &key) const
        {
            char bytes[sizeof key.point + sizeof key.values];
            std::memcpy(bytes, &key.point, sizeof key.point);
            const Values values = weldingKey(key.values);
            std::memcpy(bytes + sizeof key.point, &values, sizeof values);
            return std::hash<std::string_view>()(std::string_view(bytes, sizeof bytes));
        }
    };

    std::vector<std::uint32_t> first_;  // by point
    std::vector<std::uint32_t> points_; // by vertex
    std::vector<Values> values_;        // by vertex
    std::unordered_map<Key, std::uint32_t, KeyHash> others_;
};

} // namespace tuft::meshio
