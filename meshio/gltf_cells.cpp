#include "meshio/gltf_cells.h"

#include "host/in_parts.h"
#include "meshio/gltf_instances.h"
#include "meshio/meshio.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

namespace tuft::meshio::gltf {

namespace {

struct Box {
    float low[3] = {std::numeric_limits<float>::infinity(), std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::infinity()};
    float high[3] = {-std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                     -std::numeric_limits<float>::infinity()};

    void widen(const std::array<float, 3> &p)
    {
        for (int i = 0; i < 3; ++i) {
            low[i] = std::min(low[i], p[i]);
            high[i] = std::max(high[i], p[i]);
        }
    }
    void widen(const Box &other)
    {
        widen(std::array<float, 3>{other.low[0], other.low[1], other.low[2]});
        widen(std::array<float, 3>{other.high[0], other.high[1], other.high[2]});
    }
};

InstanceNode nodeOf(std::size_t begin, std::size_t end, const Box &box)
{
    InstanceNode node;
    node.begin = begin;
    node.end = end;
    std::copy(box.low, box.low + 3, node.low);
    std::copy(box.high, box.high + 3, node.high);
    return node;
}

// The box of the translations of placements(begin .. end - 1), on every core.
template <typename Placement>
Box boxOf(const host::InstanceRun &run, std::size_t begin, std::size_t end, const Placement &placement)
{
    Box box;
    for (const Box &part : host::inParts(end - begin, [&](std::size_t first, std::size_t last) {
             Box partBox;
             for (std::size_t k = begin + first; k < begin + last; ++k)
                 partBox.widen(translationOf(run, placement(k)));
             return partBox;
         }))
        box.widen(part);
    return box;
}

// The run in order, in stretches of at most `most` placements.
InstanceNodes stretches(const host::InstanceRun &run, std::size_t most)
{
    InstanceNodes result;
    const auto same = [](std::size_t k) { return k; };
    for (std::size_t begin = 0; begin < run.count; begin += most) {
        const std::size_t end = std::min(run.count, begin + most);
        result.nodes.push_back(nodeOf(begin, end, boxOf(run, begin, end, same)));
    }
    return result;
}

// The cell a coordinate lies in, for cells of side `side`; far beyond any real ground the
// cells end, rather than the conversion overflowing.
std::int64_t cellIndex(float coordinate, double side)
{
    constexpr double kFarthest = 4.0e18;
    return static_cast<std::int64_t>(std::clamp(std::floor(coordinate / side), -kFarthest, kFarthest));
}

struct CellKeyHash {
    std::size_t operator()(const std::pair<std::int64_t, std::int64_t> &key) const
    {
        return std::hash<std::int64_t>()(key.first * 0x9E3779B97F4A7C15ll ^ key.second);
    }
};

} // namespace

InstanceNodes instanceNodes(const host::InstanceRun &run, double cell, std::size_t mostPerNode)
{
    if (!(cell > 0))
        return stretches(run, mostPerNode);
    if (run.count > std::numeric_limits<std::uint32_t>::max())
        throw MeshIoError("cannot group " + std::to_string(run.count) +
                          " instances into cells: a run of at most 4294967295 can be");
    // Each placement's cell, numbered as first met; each cell's count and box.
    struct Cell {
        std::int64_t x, z;
        std::size_t count = 0;
        Box box;
    };
    std::vector<Cell> cells;
    std::unordered_map<std::pair<std::int64_t, std::int64_t>, std::uint32_t, CellKeyHash> numbers;
    std::vector<std::uint32_t> cellOf(run.count);
    for (std::size_t i = 0; i < run.count; ++i) {
        const std::array<float, 3> t = translationOf(run, i);
        const std::pair<std::int64_t, std::int64_t> key{cellIndex(t[0], cell), cellIndex(t[2], cell)};
        const auto found = numbers.try_emplace(key, static_cast<std::uint32_t>(cells.size()));
        if (found.second)
            cells.push_back({key.first, key.second, 0, {}});
        Cell &in = cells[found.first->second];
        cellOf[i] = found.first->second;
        ++in.count;
        in.box.widen(t);
    }
    // The cells in order of Z, then X; the placements gathered cell by cell.
    std::vector<std::uint32_t> ranked(cells.size());
    for (std::uint32_t c = 0; c < ranked.size(); ++c)
        ranked[c] = c;
    std::sort(ranked.begin(), ranked.end(), [&cells](std::uint32_t a, std::uint32_t b) {
        return std::make_pair(cells[a].z, cells[a].x) < std::make_pair(cells[b].z, cells[b].x);
    });
    std::vector<std::size_t> next(cells.size());
    InstanceNodes result;
    std::size_t at = 0;
    for (const std::uint32_t c : ranked) {
        next[c] = at;
        for (std::size_t begin = at; begin < at + cells[c].count; begin += mostPerNode) {
            const std::size_t end = std::min(at + cells[c].count, begin + mostPerNode);
            InstanceNode node = nodeOf(begin, end, cells[c].box);
            node.celled = true;
            node.cellX = cells[c].x;
            node.cellZ = cells[c].z;
            result.nodes.push_back(node);
        }
        at += cells[c].count;
    }
    result.order.resize(run.count);
    for (std::size_t i = 0; i < run.count; ++i)
        result.order[next[cellOf[i]]++] = static_cast<std::uint32_t>(i);
    // A cell too full for one node is cut in stretches, each with a box of its own.
    for (InstanceNode &node : result.nodes)
        if (node.end - node.begin < cells[cellOf[result.order[node.begin]]].count) {
            const Box box = boxOf(run, node.begin, node.end, [&result](std::size_t k) { return result.order[k]; });
            std::copy(box.low, box.low + 3, node.low);
            std::copy(box.high, box.high + 3, node.high);
        }
    return result;
}

} // namespace tuft::meshio::gltf
