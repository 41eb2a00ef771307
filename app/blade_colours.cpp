#include "app/blade_colours.h"

#include "app/plant_job.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tuft::app {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// SplitMix64's finalizer: every bit of the input stirs every bit of the output.
std::uint64_t mix64(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// A number in [0, 1) from 53 bits of a hash.
double unitOf(std::uint64_t hash) { return static_cast<double>(hash >> 11) * 0x1.0p-53; }

// Quintic fade: the noise's slope is continuous across lattice lines.
double fade(double t) { return t * t * t * (t * (t * 6 - 15) + 10); }

std::uint8_t toSrgb(double linear)
{
    const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
    return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
}

// A quarter of the longest side of the blades' spread on the ground; 1 when they stand
// on one spot.
double defaultScale(const std::vector<std::pair<double, double>> &bases)
{
    if (bases.empty())
        return 1;
    double lowX = bases[0].first, highX = lowX, lowZ = bases[0].second, highZ = lowZ;
    for (const auto &[x, z] : bases) {
        lowX = std::min(lowX, x);
        highX = std::max(highX, x);
        lowZ = std::min(lowZ, z);
        highZ = std::max(highZ, z);
    }
    const double side = std::max(highX - lowX, highZ - lowZ);
    return side > 0 && std::isfinite(side) ? side / 4 : 1;
}

} // namespace

meshio::Rgb parseHexColour(const std::string &text, const std::string &option)
{
    meshio::Rgb rgb{};
    bool good = text.size() == 7 && text[0] == '#';
    for (std::size_t i = 0; good && i < 3; ++i) {
        const int high = hexDigit(text[1 + 2 * i]), low = hexDigit(text[2 + 2 * i]);
        good = high >= 0 && low >= 0;
        rgb[i] = static_cast<std::uint8_t>(16 * high + low);
    }
    if (!good)
        throw UsageError(option + ": \"" + text + "\" is not a colour written #rrggbb (as #4a7a2c)");
    return rgb;
}

ColourOptions parseColourPair(const std::string &text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos || text.find(',', comma + 1) != std::string::npos)
        throw UsageError("--colour " + text + ": expected two colours A,B, each #rrggbb (as #4a7a2c,#b5a642)");
    ColourOptions options;
    options.from = parseHexColour(text.substr(0, comma), "--colour");
    options.to = parseHexColour(text.substr(comma + 1), "--colour");
    return options;
}

ColourField::ColourField(const ColourOptions &options, double scale, std::uint64_t seed)
    : options_(options), scale_(scale), seed_(mix64(seed))
{
    for (int c = 0; c < 3; ++c) {
        fromLinear_[c] = meshio::linearOf(options.from[c]);
        toLinear_[c] = meshio::linearOf(options.to[c]);
    }
}

double ColourField::latticeValue(std::int64_t i, std::int64_t k) const
{
    return unitOf(
        mix64(seed_ ^ mix64(static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(k))));
}

double ColourField::noiseAt(double x, double z) const
{
    const double u = x / scale_, v = z / scale_;
    // Far out the lattice has no cells left to tell apart: the field is one value there.
    constexpr double kFar = 1e15;
    if (!(std::abs(u) < kFar && std::abs(v) < kFar))
        return latticeValue(0, 0);
    const double i = std::floor(u), k = std::floor(v);
    const double s = fade(u - i), t = fade(v - k);
    const auto at = [&](double di, double dk) {
        return latticeValue(static_cast<std::int64_t>(i + di), static_cast<std::int64_t>(k + dk));
    };
    const double near = at(0, 0) + (at(1, 0) - at(0, 0)) * s;
    const double far = at(0, 1) + (at(1, 1) - at(0, 1)) * s;
    return near + (far - near) * t;
}

double ColourField::mixAt(double x, double z, std::uint64_t blade) const
{
    const double own = unitOf(mix64(seed_ + mix64(blade ^ 0xC01005ull)));
    return (1 - options_.jitter) * noiseAt(x, z) + options_.jitter * own;
}

meshio::Rgb ColourField::colourAt(double x, double z, std::uint64_t blade) const
{
    const double t = mixAt(x, z, blade);
    meshio::Rgb rgb{};
    for (int c = 0; c < 3; ++c)
        rgb[c] = toSrgb(fromLinear_[c] + (toLinear_[c] - fromLinear_[c]) * t);
    return rgb;
}

meshio::BladeColours colourBlades(const host::Layer &planted, const std::vector<BladeRun> &runs,
                                  const ColourOptions &options, std::uint64_t seed)
{
    const host::LayerMesh &layer = planted.mesh;
    // Where each blade stands: its lowest point.
    std::vector<std::pair<double, double>> bases;
    for (const BladeRun &run : runs) {
        const std::size_t first = bases.size();
        std::vector<host::Vec3> lowest(run.count, host::Vec3{0, std::numeric_limits<double>::infinity(), 0});
        layer.forPositions(run.firstPoint, run.firstPoint + run.count * run.bladePoints,
                           [&](std::size_t point, const host::Vec3 &p) {
                               host::Vec3 &low = lowest[(point - run.firstPoint) / run.bladePoints];
                               if (p.y < low.y)
                                   low = p;
                           });
        bases.resize(first + run.count);
        for (std::size_t b = 0; b < run.count; ++b)
            bases[first + b] = {lowest[b].x, lowest[b].z};
    }
    const ColourField field(options, options.scale > 0 ? options.scale : defaultScale(bases), seed);
    meshio::BladeColours colours;
    colours.layer = planted.number;
    std::size_t blade = 0; // numbered over all runs, for each its own random part
    for (const BladeRun &run : runs) {
        meshio::BladeColours::Run &coloured = colours.runs.emplace_back();
        coloured.firstPoint = run.firstPoint;
        coloured.bladePoints = run.bladePoints;
        coloured.blades.resize(run.count);
        for (meshio::Rgb &rgb : coloured.blades) {
            rgb = field.colourAt(bases[blade].first, bases[blade].second, blade);
            ++blade;
        }
    }
    return colours;
}

} // namespace tuft::app
