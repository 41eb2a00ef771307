#include "app/blade_summary.h"

#include "host/in_parts.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace tuft::app {

namespace {

// The longest side of the box around points [first, end).
double longestSide(const host::LayerMesh &mesh, std::size_t first, std::size_t end)
{
    if (first >= end)
        return 0;
    host::Vec3 low = mesh.position(first), high = low;
    mesh.forPositions(first + 1, end, [&](std::size_t, const host::Vec3 &p) {
        low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
        high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
    });
    return std::max({high.x - low.x, high.y - low.y, high.z - low.z});
}

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", value);
    return text;
}

} // namespace

BladeSummary summarizeBlades(const host::LayerMesh &layer, std::size_t objectPoints, std::uint64_t bladePoints,
                             std::size_t blades)
{
    BladeSummary summary;
    summary.object = longestSide(layer, 0, std::min(objectPoints, layer.pointCount()));
    summary.blades = countBlades(layer, objectPoints, bladePoints, blades);
    // The smallest and largest of each core's blades.
    const auto extremes = host::inParts(summary.blades, [&](std::size_t firstBlade, std::size_t endBlade) {
        std::pair<double, double> found{std::numeric_limits<double>::infinity(), 0.0};
        for (std::size_t b = firstBlade; b < endBlade; ++b) {
            const std::size_t first = objectPoints + b * bladePoints;
            const auto [low, high] = layer.heightRange(first, first + bladePoints);
            const double size = high >= low ? high - low : 0.0;
            found = {std::min(found.first, size), std::max(found.second, size)};
        }
        return found;
    });
    summary.smallest = std::numeric_limits<double>::infinity();
    for (const auto &[smallest, largest] : extremes) {
        summary.smallest = std::min(summary.smallest, smallest);
        summary.largest = std::max(summary.largest, largest);
    }
    if (summary.blades == 0)
        summary.smallest = 0;
    return summary;
}

std::size_t countBlades(const host::LayerMesh &layer, std::size_t objectPoints, std::uint64_t bladePoints,
                        std::size_t blades)
{
    if (bladePoints == 0 || layer.pointCount() <= objectPoints)
        return 0;
    return std::min<std::size_t>(blades, (layer.pointCount() - objectPoints) / bladePoints);
}

BladeSummary combined(const BladeSummary &a, const BladeSummary &b)
{
    if (a.blades == 0 || b.blades == 0)
        return {a.blades + b.blades, a.blades > 0 ? a.smallest : b.smallest, a.blades > 0 ? a.largest : b.largest,
                a.object};
    return {a.blades + b.blades, std::min(a.smallest, b.smallest), std::max(a.largest, b.largest), a.object};
}

std::string describeBlades(const BladeSummary &summary)
{
    if (summary.blades == 0)
        return "no blades";
    std::string text = std::to_string(summary.blades) + (summary.blades == 1 ? " blade, " : " blades, ");
    text += number(summary.smallest) == number(summary.largest)
                ? number(summary.largest) + " tall"
                : number(summary.smallest) + " to " + number(summary.largest) + " tall";
    if (summary.object > 0)
        text += ", on an object " + number(summary.object) + " across";
    return text;
}

std::string bladeScaleWarning(const BladeSummary &summary)
{
    if (summary.blades == 0 || !(summary.object > 0))
        return {};
    const std::string blades = "the blades (up to " + number(summary.largest) + ")";
    const std::string object = "the object (" + number(summary.object) + " across)";
    const std::string remedy = ": --blade-height 5% sizes them for it";
    if (summary.largest > 0.5 * summary.object)
        return blades + " are taller than half " + object + remedy;
    if (summary.largest < 0.001 * summary.object)
        return blades + " are under a thousandth of " + object + remedy;
    return {};
}

} // namespace tuft::app
