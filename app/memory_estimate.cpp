#include "app/memory_estimate.h"

#include "app/run_facts.h"

#include <algorithm>
#include <cstdio>

namespace tuft::app {

namespace {

// What a run needs beside the blades: the program, the plug-in, buffers for writing.
constexpr std::uint64_t kRunOverhead = std::uint64_t(96) << 20;

// How many blades the run will plant at most.
std::uint64_t bladesToPlant(const toolkit::PanelView &panel, const host::Object &object)
{
    const host::LayerMesh *mesh = currentMesh(object);
    switch (controlInteger(panel, "Mode")) {
    case kGround:
        return static_cast<std::uint64_t>(std::max(0, controlInteger(panel, "Number")));
    case kPoint:
        return mesh != nullptr && object.selectionMode == host::SelectionMode::kPoints ? selectedPoints(*mesh) : 0;
    case kPolygon:
        return mesh != nullptr && object.selectionMode == host::SelectionMode::kPolygons ? selectedPolygons(*mesh) : 0;
    default:
        return 0;
    }
}

// A point's bytes in a layer: position, flags, and a value and flag in every map.
std::uint64_t bytesPerPoint(const host::LayerMesh *layer, bool withUv)
{
    std::uint64_t bytes = sizeof(host::Vec3) + 1;
    if (layer != nullptr)
        for (const host::LayerMap &map : layer->maps())
            bytes += 4 * map.dimension + 1;
    return bytes + (withUv ? 2 * 4 + 1 : 0);
}

// Whether each blade is a copy of its own: a blade whose normals turn with it. Other
// blades are instances of one, and cost their placement's numbers.
bool bladesAreCopies(const toolkit::PanelView &panel, const host::Object &object)
{
    const host::LayerMesh *background = isOn(panel, "BGLayer Object") ? backgroundMesh(object) : nullptr;
    if (background == nullptr)
        return false;
    const std::vector<host::LayerMap> maps = background->maps();
    return std::any_of(maps.begin(), maps.end(),
                       [](const host::LayerMap &map) { return map.type == host::kNormalMap; });
}

// A placement: a scale (three numbers), a turn about Y (two) and a move (three); Polygon
// mode turns about X and Z as well.
std::uint64_t bytesPerPlacement(const toolkit::PanelView &panel)
{
    return sizeof(double) * (controlInteger(panel, "Mode") == kPolygon ? 12 : 8);
}

} // namespace

BladeElements bladeElements(const toolkit::PanelView &panel, const host::Object &object)
{
    if (isOn(panel, "BGLayer Object")) {
        const host::LayerMesh *background = backgroundMesh(object);
        if (background == nullptr)
            return {};
        return {background->pointCount(), background->polygonCount(), background->cornerCount()};
    }
    // A tip point and two edge points a segment; a tip triangle and a quad a further segment.
    const std::uint64_t division = static_cast<std::uint64_t>(std::max(1, controlInteger(panel, "Division")));
    return {2 * division + 1, division, 4 * division - 1};
}

std::uint64_t bytesToPlant(const toolkit::PanelView &panel, const host::Object &object)
{
    const std::uint64_t blades = bladesToPlant(panel, object);
    const host::LayerMesh *layer = currentMesh(object);
    if (!bladesAreCopies(panel, object))
        return blades * bytesPerPlacement(panel);
    const BladeElements blade = bladeElements(panel, object);
    const std::uint64_t perBlade = blade.points * bytesPerPoint(layer, isOn(panel, "Add_UV")) +
                                   blade.polygons * sizeof(host::Polygon) + blade.vertices * sizeof(std::uint32_t);
    return blades * perBlade;
}

std::string sizeText(std::uint64_t bytes)
{
    char text[32];
    if (bytes >= (std::uint64_t(1) << 30))
        std::snprintf(text, sizeof text, "%.1f GB", double(bytes) / (1 << 30));
    else
        std::snprintf(text, sizeof text, "%.0f MB", double(bytes) / (1 << 20));
    return text;
}

std::string layerShortfall(const toolkit::PanelView &panel, const host::Object &object)
{
    constexpr std::uint64_t kMost = 0xFFFFFFFFu; // elements are numbered in 32 bits
    const std::uint64_t blades = bladesToPlant(panel, object);
    const BladeElements blade = bladeElements(panel, object);
    const host::LayerMesh *layer = currentMesh(object);
    const auto after = [&](std::uint64_t has, std::uint64_t each) { return has + blades * each; };
    const std::pair<std::uint64_t, const char *> counts[] = {
        {after(layer ? layer->pointCount() : 0, blade.points), "points"},
        {after(layer ? layer->polygonCount() : 0, blade.polygons), "polygons"},
        {after(layer ? layer->cornerCount() : 0, blade.vertices), "polygon corners"}};
    for (const auto &[count, what] : counts)
        if (count > kMost)
            return "planting would make " + std::to_string(count) + " " + what +
                   " in one layer, more than a layer holds (" + std::to_string(kMost) +
                   "): plant fewer blades, or fewer divisions";
    return {};
}

std::string memoryShortfall(const toolkit::PanelView &panel, const host::Object &object)
{
    const std::uint64_t need = bytesToPlant(panel, object) + kRunOverhead;
    const std::uint64_t have = availableMemory();
    if (have > 0 && need > have)
        return "planting needs about " + sizeText(need) + " of memory, and this machine has " + sizeText(have) +
               " available: plant fewer blades, or fewer divisions";
    return {};
}

} // namespace tuft::app
