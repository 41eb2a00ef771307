// The kinds of option the command line is made of: whole seconds, finite numbers in a
// range, layer and axis choices, and the panel's controls as options.
#pragma once

#include "app/blade_colours.h"
#include "app/panel_options.h"
#include "app/plant_job.h"
#include "meshio/meshio.h"
#include "scatter/scatter.h"

#include <CLI/CLI.hpp>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tuft::app {

// Seconds since 1970 as --clock gives them: a whole number that the clock can hold;
// UsageError otherwise.
std::int64_t clockSeconds(const std::string &text);
// --clump COUNT,RADIUS: a whole number of centres from 1 up to scatter::kMostPoints and
// a finite radius above 0; UsageError naming the option otherwise.
scatter::ScatterOptions::Clumping clumpOption(const std::string &text);
// The shortest text that reads back as the same double.
std::string number(double value);
// A number option's check: finite (CLI11's own ranges let nan through) and from `least`
// to `most`, or above `least` when `aboveLeast`; the message names the option.
CLI::Validator finiteNumber(double least, double most, bool aboveLeast = false);
// --layers and --up, each turned into its choice once, as it is parsed.
void addLayersOption(CLI::App *command, meshio::LayerChoice &layers, const std::string &help);
void addUpOption(CLI::App *command, meshio::UpAxis &up, const std::string &help);
// --colour A,B, --colour-scale and --colour-jitter; coloursOf() makes them one choice
// once parsed (none without --colour; UsageError for a scale or jitter without it).
struct ColourWords {
    std::string pair;
    double scale = 0, jitter = 0;
};
void addColourOptions(CLI::App *command, ColourWords &words);
std::optional<ColourOptions> coloursOf(const CLI::App &command, const ColourWords &words);
// --variant PATH[:WEIGHT], repeated; variantsOf() parses them once, checks that each
// file is there, and refuses the options a mix of runs cannot follow (UsageError).
void addVariantOption(CLI::App *command, std::vector<std::string> &texts);
std::vector<Variant> variantsOf(const CLI::App &command, const std::vector<std::string> &texts);
// One option of the panel table on a command; its value is kept as the panel's text.
void addPanelOption(CLI::App *command, const PanelOption &option, std::map<std::string, std::string> &values);

} // namespace tuft::app
