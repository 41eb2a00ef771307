#include "app/panel_options.h"

#include <cstring>

namespace tuft::app {

namespace {

using Value = PanelOption::Value;

struct UnlabeledSlider {
    const char *name;
    const char *address;
};

const UnlabeledSlider kUnlabeledSliders[] = {{"P2(y)", "#13"}, {"P2(z)", "#14"}, {"P3(z)", "#16"}};

} // namespace

const PanelOption kPanelOptions[] = {
    {"--mode", "Mode", Value::kMode, 0, 0,
     "Planting mode: ground (scattered over the field), point (on selected points) or polygon (on selected "
     "polygons)"},
    {"--number", "Number", Value::kInteger, 0, 2147483647,
     "\"Number\": blades in ground mode, 0 or more (panel default 100)"},
    {"--field", "Field", Value::kNumber, 0, 0, "\"Field\": side of the square field from the origin (default 1)"},
    {"--size", "Size", Value::kNumber, 0, 0, "\"Size\": size of the blade (default 0.4)"},
    {"--division", "Division", Value::kInteger, 1, 8, "\"Division\": segments of the blade, 1 to 8 (default 5)"},
    {"--roughness", "Roughness(random)", Value::kNumber, 0, 100,
     "\"Roughness(random)\": how much a blade may shrink, percent"},
    {"--rotation", "Rotation(random)", Value::kNumber, 0, 360,
     "\"Rotation(random)\": largest random turn, degrees 0 to 360"},
    {"--ratio-fixation", "Ratio fixation", Value::kSwitch, 0, 0,
     "\"Ratio fixation\": shrink blades evenly on all axes"},
};
const std::size_t kPanelOptionCount = sizeof kPanelOptions / sizeof kPanelOptions[0];

const PanelOption *findPanelOption(const std::string &flag)
{
    for (const PanelOption &option : kPanelOptions)
        if (flag == option.flag)
            return &option;
    return nullptr;
}

std::string controlAddress(const std::string &name)
{
    for (const UnlabeledSlider &slider : kUnlabeledSliders)
        if (name == slider.name)
            return slider.address;
    return name;
}

std::string controlName(const std::string &address)
{
    for (const UnlabeledSlider &slider : kUnlabeledSliders)
        if (address == slider.address)
            return slider.name;
    return address;
}

std::string modeItem(const std::string &word)
{
    return word == "ground" ? " Ground" : word == "point" ? " Point " : "Polygon";
}

} // namespace tuft::app
