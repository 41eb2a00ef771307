#include "app/cli_options.h"

#include "app/plant_job.h"
#include "app/variants.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>

namespace tuft::app {

std::int64_t clockSeconds(const std::string &text)
{
    std::int64_t seconds = 0;
    const auto parsed = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (parsed.ec == std::errc::result_out_of_range)
        throw UsageError("--clock " + text + ": beyond the clock's range (" +
                         std::to_string(std::numeric_limits<std::int64_t>::min()) + " to " +
                         std::to_string(std::numeric_limits<std::int64_t>::max()) + " seconds)");
    if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size())
        throw UsageError("--clock " + text + ": not a whole number of seconds");
    return seconds;
}

scatter::ScatterOptions::Clumping clumpOption(const std::string &text)
{
    const std::size_t comma = text.find(',');
    const std::string count = text.substr(0, comma), radius = comma == std::string::npos ? "" : text.substr(comma + 1);
    scatter::ScatterOptions::Clumping clumps{0, 0};
    const auto parsed = std::from_chars(count.data(), count.data() + count.size(), clumps.count);
    if (comma == std::string::npos || count.empty() || parsed.ec != std::errc() ||
        parsed.ptr != count.data() + count.size() || clumps.count < 1 || clumps.count > scatter::kMostPoints)
        throw UsageError("--clump " + text + ": expected COUNT,RADIUS, COUNT a whole number of centres from 1 to " +
                         std::to_string(scatter::kMostPoints));
    if (!CLI::detail::lexical_cast(radius, clumps.radius) || !std::isfinite(clumps.radius) || !(clumps.radius > 0))
        throw UsageError("--clump " + text + ": the radius \"" + radius + "\" is not a finite number above 0");
    return clumps;
}

std::string number(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

CLI::Validator finiteNumber(double least, double most, bool aboveLeast)
{
    const double largest = std::numeric_limits<double>::max();
    std::string range = least == -largest ? "" : (aboveLeast ? "above " : "from ") + number(least);
    if (most != largest)
        range += (range.empty() ? "up to " : aboveLeast ? " and up to " : " to ") + number(most);
    return CLI::Validator(
        [=](std::string &text) -> std::string {
            double value = 0;
            if (!CLI::detail::lexical_cast(text, value) || !std::isfinite(value))
                return "\"" + text + "\" is not a finite number";
            if (value < least || value > most || (aboveLeast && value == least))
                return text + " is out of range: a number " + range;
            return {};
        },
        range.empty() ? "NUMBER" : "NUMBER " + range);
}

void addColourOptions(CLI::App *command, ColourWords &words)
{
    command
        ->add_option("--colour", words.pair,
                     "Colour each blade between two sRGB colours by a smooth noise of where it stands on the "
                     "ground: per vertex in OBJ, PLY and glTF, per placement with --instances, and in pictures "
                     "(quote it: the shell takes # for a comment)")
        ->type_name("#RRGGBB,#RRGGBB");
    command
        ->add_option("--colour-scale", words.scale,
                     "With --colour: the noise's feature size, in the file's units (default: a quarter of the "
                     "blades' spread)")
        ->check(finiteNumber(0, std::numeric_limits<double>::max(), true));
    command
        ->add_option("--colour-jitter", words.jitter,
                     "With --colour: the share of a random part of each blade's own, 0 (a smooth field) to 1")
        ->check(finiteNumber(0, 1));
}

std::optional<ColourOptions> coloursOf(const CLI::App &command, const ColourWords &words)
{
    if (command.count("--colour") == 0) {
        for (const char *option : {"--colour-scale", "--colour-jitter"})
            if (command.count(option) > 0)
                throw UsageError(std::string(option) + " belongs to --colour A,B");
        return std::nullopt;
    }
    ColourOptions options = parseColourPair(words.pair);
    options.scale = words.scale;
    options.jitter = words.jitter;
    return options;
}

void addVariantOption(CLI::App *command, std::vector<std::string> &texts)
{
    command
        ->add_option("--variant", texts,
                     "Mix blades by weight, each variant planted by a run of its own: a preset (.zts, its blade "
                     "on a surface named after the file) or a mesh planted as \"BGLayer Object\" plants one; "
                     "Ground mode splits \"Number\" by weight, Point and Polygon mode and scattering share the "
                     "targets at random by weight (weight 1 when left out); repeat it for each variant")
        ->type_name("PATH[:WEIGHT]")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::vector<Variant> variantsOf(const CLI::App &command, const std::vector<std::string> &texts)
{
    std::vector<Variant> variants;
    for (const std::string &text : texts) {
        variants.push_back(parseVariant(text));
        std::error_code error;
        if (!std::filesystem::is_regular_file(variants.back().path, error))
            throw UsageError("--variant " + text + ": no such file: " + variants.back().path);
    }
    if (variants.empty())
        return variants;
    for (const char *option :
         {"--bg-layer", "--save-preset", "--preview", "--panel-report", "--follow-surface", "--cancel"})
        if (command.count(option) > 0)
            throw UsageError(std::string(option) + " cannot go with --variant, whose variants are each a run of "
                                                   "their own; a mesh variant is planted as --bg-layer plants one");
    return variants;
}

void addLayersOption(CLI::App *command, meshio::LayerChoice &layers, const std::string &help)
{
    command
        ->add_option_function<std::string>(
            "--layers",
            [&layers](const std::string &word) {
                layers = word == "all" ? meshio::LayerChoice::kAll : meshio::LayerChoice::kCurrent;
            },
            help)
        ->check(CLI::IsMember({"current", "all"}));
}

void addUpOption(CLI::App *command, meshio::UpAxis &up, const std::string &help)
{
    command
        ->add_option_function<std::string>(
            "--up", [&up](const std::string &word) { up = word == "z" ? meshio::UpAxis::kZ : meshio::UpAxis::kY; },
            help)
        ->check(CLI::IsMember({"y", "z"}));
}

void addPanelOption(CLI::App *command, const PanelOption &option, std::map<std::string, std::string> &values)
{
    std::string &value = values[option.flag];
    CLI::Option *added = nullptr;
    switch (option.value) {
    case PanelOption::Value::kInteger:
        added = command->add_option_function<int>(
            option.flag, [&value](int v) { value = std::to_string(v); }, option.help);
        break;
    case PanelOption::Value::kNumber:
        added = command->add_option_function<double>(
            option.flag, [&value](double v) { value = number(v); }, option.help);
        break;
    case PanelOption::Value::kSwitch:
        added = command->add_flag_function(
            option.flag, [&value](std::int64_t) { value = "on"; }, option.help);
        break;
    case PanelOption::Value::kMode:
        added = command
                    ->add_option_function<std::string>(
                        option.flag, [&value](const std::string &v) { value = tuft::app::modeItem(v); }, option.help)
                    ->check(CLI::IsMember({"ground", "point", "polygon"}));
        break;
    }
    if (option.minimum < option.maximum)
        added->check(option.value == PanelOption::Value::kNumber
                         ? finiteNumber(option.minimum, option.maximum)
                         : CLI::Range(static_cast<int>(option.minimum), static_cast<int>(option.maximum)));
    else if (option.value == PanelOption::Value::kNumber)
        added->check(finiteNumber(-std::numeric_limits<double>::max(), std::numeric_limits<double>::max()));
}

} // namespace tuft::app
