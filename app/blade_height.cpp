#include "app/blade_height.h"

#include "app/job_steps.h"
#include "app/panel_options.h"
#include "sdk/modeler_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <limits>

namespace tuft::app {

namespace {

using toolkit::UserAction;

// A number as the panel's text takes it back to the last bit.
std::string exactText(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The user's actions up to OK or Cancel, without "Save" (a probe must not write a
// preset), and the dialog answers that the kept "Load" presses take.
PlantJob userActionsWithoutSaving(const PlantJob &job)
{
    PlantJob probe;
    probe.plugin = job.plugin;
    probe.clock = job.clock;
    probe.contentDirectory = job.contentDirectory;
    std::size_t answer = 0;
    for (const UserAction &action : job.actions) {
        if (action.type == UserAction::Type::kOk || action.type == UserAction::Type::kCancel)
            break;
        const bool dialog =
            action.type == UserAction::Type::kPress && (action.control == "Load" || action.control == "Save");
        if (dialog && answer < job.fileAnswers.size()) {
            const bool saving = action.control == "Save";
            if (!saving) {
                probe.fileAnswers.push_back(job.fileAnswers[answer]);
                probe.presets.push_back(job.presets[answer]);
            }
            ++answer;
            if (saving)
                continue;
        }
        probe.actions.push_back(action);
    }
    return probe;
}

// The height of the selected polygons' points or the selected points, as the selection
// mode says; 0 when none are.
double heightOfSelected(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(kCurrentLayer);
    if (layer == nullptr)
        return 0.0;
    const host::LayerMesh &mesh = layer->mesh;
    if (object.selectionMode == host::SelectionMode::kPolygons && mesh.selectedPolygonCount() > 0) {
        std::vector<std::uint8_t> used(mesh.pointCount(), 0);
        for (std::size_t p = 0; p < mesh.polygonCount(); ++p)
            if (mesh.polygon(p).flags & 1u)
                for (std::uint32_t point : mesh.pointsOf(p))
                    used[point] = 1;
        return heightOfPoints(mesh, 0, mesh.pointCount(), [&](std::size_t i) { return used[i] != 0; });
    }
    if (object.selectionMode == host::SelectionMode::kPoints && mesh.selectedPointCount() > 0)
        return heightOfPoints(mesh, 0, mesh.pointCount(),
                              [&](std::size_t i) { return (mesh.pointFlags(i) & 1u) != 0; });
    return 0.0;
}

// The height of what is selected on the current layer: the selected polygons' points or
// the selected points, as the selection mode says; all of the layer when none are, or
// when they lie flat (a lawn selected on a model is sized by the model).
double heightOfSelection(const host::Object &object)
{
    const double selected = heightOfSelected(object);
    return selected > 0 ? selected : heightOfLayer(object, kCurrentLayer);
}

} // namespace

BladeHeight parseBladeHeight(const std::string &text)
{
    BladeHeight height;
    std::string number = text;
    if (!number.empty() && number.back() == '%') {
        height.percent = true;
        number.pop_back();
    }
    std::size_t used = 0;
    try {
        height.value = std::stod(number, &used);
    } catch (const std::exception &) {
        used = 0;
    }
    if (number.empty() || used != number.size() || !std::isfinite(height.value) || !(height.value > 0))
        throw UsageError("--blade-height: \"" + text +
                         "\" is not a height above 0 (a number in the file's units, or a percentage such as 5%)");
    return height;
}

PlantJob panelProbe(const PlantJob &job)
{
    PlantJob probe = userActionsWithoutSaving(job);
    probe.actions.push_back({UserAction::Type::kCancel, "", ""});
    return probe;
}

PlantJob templateProbe(const PlantJob &job)
{
    PlantJob probe = userActionsWithoutSaving(job);
    const auto set = [&probe](const char *control, const std::string &value) {
        probe.actions.push_back({UserAction::Type::kSet, control, value});
    };
    set("Mode", modeItem("ground"));
    set("Number", "1");
    set("Size", "1");
    set("Roughness(random)", "0");
    probe.actions.push_back({UserAction::Type::kOk, "", ""});
    return probe;
}

host::Object probeObject(const PlantJob &job, const host::Object &object)
{
    host::Object probe;
    probe.selectionMode = job.followSurface ? host::SelectionMode::kPolygons // planted in Polygon mode
                          : job.scatter     ? host::SelectionMode::kPoints
                                            : object.selectionMode;
    probe.mapKey(MH_MAP_WEIGHT, "ZTSW", 1);
    return probe;
}

double heightOfLayer(const host::Object &object, int layer)
{
    const host::Layer *found = object.findLayer(layer);
    if (found == nullptr)
        return 0.0;
    const auto [low, high] = found->mesh.heightRange(0, found->mesh.pointCount());
    return high >= low ? high - low : 0.0;
}

double askedBladeHeight(const BladeHeight &asked, const toolkit::PanelView &panel, const host::Object &object)
{
    const toolkit::ControlView *background = panel.find("BGLayer Object");
    if (background != nullptr && background->integer != 0)
        throw UsageError("--blade-height sizes the built blade, but \"BGLayer Object\" plants the background "
                         "layer's mesh as it is; scale that mesh instead");
    if (!asked.percent)
        return asked.value;
    const toolkit::ControlView *mode = panel.find("Mode");
    const bool ground = mode == nullptr || mode->integer == 0;
    const toolkit::ControlView *field = panel.find("Field");
    const double reference = ground ? (field != nullptr ? field->number : 0.0) : heightOfSelection(object);
    if (!(reference > 0))
        throw UsageError(std::string("--blade-height ") + exactText(asked.value) +
                         "%: " + (ground ? "the field has no size" : "what is planted on is flat (0 high)") +
                         "; give the height in the file's units instead, as --blade-height 0.05");
    return reference * asked.value / 100.0;
}

PlantJob withSize(const PlantJob &job, double size)
{
    PlantJob sized = job;
    auto place = std::find_if(sized.actions.begin(), sized.actions.end(), [](const UserAction &action) {
        return action.type == UserAction::Type::kOk || action.type == UserAction::Type::kCancel;
    });
    // A preset saved last keeps the Size the blades were planted with.
    if (place != sized.actions.begin() && std::prev(place)->type == UserAction::Type::kPress &&
        std::prev(place)->control == "Save")
        --place;
    sized.actions.insert(place, {UserAction::Type::kSet, "Size", exactText(size)});
    return sized;
}

} // namespace tuft::app
