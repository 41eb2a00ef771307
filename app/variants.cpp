#include "app/variants.h"

#include "app/panel_options.h"
#include "meshio/meshio.h"
#include "scatter/sampling.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <numeric>

namespace tuft::app {

namespace {

using toolkit::UserAction;

bool endsWith(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool isPreset(const std::string &path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    return endsWith(lower, ".zts");
}

// Where OK (or Cancel) is among the actions: what a variant adds goes just before it.
std::vector<UserAction>::iterator beforeClosing(std::vector<UserAction> &actions)
{
    return std::find_if(actions.begin(), actions.end(), [](const UserAction &action) {
        return action.type == UserAction::Type::kOk || action.type == UserAction::Type::kCancel;
    });
}

bool setsControl(const std::vector<UserAction> &actions, const std::string &control)
{
    return std::any_of(actions.begin(), actions.end(), [&](const UserAction &action) {
        return action.type == UserAction::Type::kSet && action.control == controlAddress(control);
    });
}

} // namespace

Variant parseVariant(const std::string &text)
{
    Variant variant;
    variant.path = text;
    const std::size_t colon = text.rfind(':');
    const bool named = isPreset(text) || meshio::knownFormat(text);
    if (colon != std::string::npos && !named && text.find_first_of("/\\", colon) == std::string::npos) {
        variant.path = text.substr(0, colon);
        const std::string weight = text.substr(colon + 1);
        double value = 0;
        const auto parsed = std::from_chars(weight.data(), weight.data() + weight.size(), value);
        if (weight.empty() || parsed.ec != std::errc() || parsed.ptr != weight.data() + weight.size() ||
            !std::isfinite(value) || !(value > 0))
            throw UsageError("--variant " + text + ": the weight \"" + weight + "\" is not a finite number above 0");
        variant.weight = value;
    }
    variant.mesh = meshio::knownFormat(variant.path);
    if (!variant.mesh && !isPreset(variant.path))
        throw UsageError("--variant " + text +
                         ": expected a preset (.zts) or a mesh (.obj, .ply, .glb, .gltf), "
                         "with :WEIGHT after it or not");
    return variant;
}

std::string variantSurface(const Variant &variant)
{
    const std::size_t slash = variant.path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? variant.path : variant.path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::vector<double> weightsOf(const std::vector<Variant> &variants)
{
    std::vector<double> weights;
    for (const Variant &variant : variants)
        weights.push_back(variant.weight);
    return weights;
}

std::vector<std::uint64_t> splitByWeight(std::uint64_t total, const std::vector<double> &weights)
{
    const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
    std::vector<std::uint64_t> parts(weights.size(), 0);
    if (weights.empty() || !(sum > 0))
        return parts;
    std::vector<double> remainders(weights.size());
    std::uint64_t given = 0;
    for (std::size_t i = 0; i < weights.size(); ++i) {
        const double exact = static_cast<double>(total) * (weights[i] / sum);
        parts[i] = std::min(static_cast<std::uint64_t>(std::floor(exact)), total - given);
        remainders[i] = exact - std::floor(exact);
        given += parts[i];
    }
    std::vector<std::size_t> order(weights.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return remainders[a] > remainders[b]; });
    for (std::size_t k = 0; given < total; k = (k + 1) % order.size(), ++given)
        ++parts[order[k]];
    return parts;
}

std::vector<std::uint32_t> shareByWeight(std::size_t count, const std::vector<double> &weights, std::uint64_t seed)
{
    std::vector<double> upTo(weights.size());
    std::partial_sum(weights.begin(), weights.end(), upTo.begin());
    std::vector<std::uint32_t> share(count, 0);
    if (weights.empty())
        return share;
    scatter::Random random(seed ^ 0x5641524941ull); // apart from the scattering's numbers
    for (std::uint32_t &variant : share) {
        const double drawn = random.next() * upTo.back();
        variant = static_cast<std::uint32_t>(std::upper_bound(upTo.begin(), upTo.end(), drawn) - upTo.begin());
        variant = std::min<std::uint32_t>(variant, static_cast<std::uint32_t>(weights.size() - 1));
    }
    return share;
}

PlantJob variantJob(const PlantJob &job, const Variant &variant, std::int64_t clock)
{
    PlantJob planted = job;
    planted.variants.clear();
    planted.clock = clock;
    std::vector<UserAction> &actions = planted.actions;
    if (variant.mesh) {
        planted.background = variant.path;
        actions.insert(actions.begin(),
                       {UserAction::Type::kSet, controlAddress("BGLayer Object"), "on", "BGLayer Object"});
    } else {
        actions.insert(actions.begin(), {UserAction::Type::kPress, "Load", ""});
        planted.fileAnswers.insert(planted.fileAnswers.begin(), variant.path);
        planted.presets.insert(planted.presets.begin(), {variant.path, false});
        if (!setsControl(actions, "S_NAME"))
            actions.insert(beforeClosing(actions),
                           {UserAction::Type::kSet, controlAddress("S_NAME"), variantSurface(variant), "S_NAME"});
    }
    return planted;
}

PlantJob withNumber(const PlantJob &job, std::uint64_t number)
{
    PlantJob planted = job;
    planted.actions.insert(beforeClosing(planted.actions),
                           {UserAction::Type::kSet, controlAddress("Number"), std::to_string(number), "Number"});
    return planted;
}

} // namespace tuft::app
