#include "app/window_choices.h"

#include "app/panel_options.h"

#include <algorithm>

namespace tuft::app {

namespace {

constexpr int kGap = 8; // between the window and the panel, for a window manager's borders

bool choosesMode(const toolkit::UserAction &action)
{
    return action.control == "Mode" || (action.type == toolkit::UserAction::Type::kPress && action.control == "Load");
}

} // namespace

bool windowPicksTarget(const PlantJob &job)
{
    return !job.inputs.empty() && job.selection.empty() && !job.scatter &&
           std::none_of(job.actions.begin(), job.actions.end(), choosesMode);
}

std::vector<PlantingTarget> plantingTargets(const host::Object &object, int layer)
{
    std::vector<PlantingTarget> targets{{"A square field (Ground)", "", "ground"}};
    const host::Layer *found = object.findLayer(layer);
    if (found == nullptr)
        return targets;
    const host::LayerMesh &mesh = found->mesh;
    if (mesh.polygonCount() > 0)
        targets.push_back({"Every polygon", "polygons:all", "polygon"});
    if (mesh.pointCount() > 0)
        targets.push_back({"Every point", "points:all", "point"});
    std::vector<std::uint8_t> used(object.surfaceCount(), 0);
    for (std::size_t p = 0; p < mesh.polygonCount(); ++p)
        used[mesh.polygon(p).surface] = 1;
    for (std::uint32_t s = 0; s < used.size(); ++s)
        if (used[s])
            targets.push_back(
                {"The polygons of " + object.surfaceName(s), "polygons:group:" + object.surfaceName(s), "polygon"});
    if (mesh.polygonCount() > 0)
        targets.push_back({"Points scattered by density...", "", "point", true});
    return targets;
}

std::size_t firstTarget(const std::vector<PlantingTarget> &targets)
{
    for (const char *selection : {"polygons:all", "points:all"})
        for (std::size_t t = 0; t < targets.size(); ++t)
            if (targets[t].selection == selection)
                return t;
    return 0;
}

int targetSelected(const std::vector<PlantingTarget> &targets, const std::string &selection)
{
    for (std::size_t t = 0; t < targets.size(); ++t)
        if (!selection.empty() && targets[t].selection == selection && !targets[t].scatter)
            return static_cast<int>(t);
    return -1;
}

SideBySide placeBeside(ScreenRect screen, ScreenRect window, int panelW, int panelH, int narrowest)
{
    const int screenRight = screen.x + screen.w;
    int missing = window.x + window.w + kGap + panelW - screenRight;
    if (missing > 0) {
        const int moved = std::min(missing, std::max(0, window.x - screen.x));
        window.x -= moved;
        missing -= moved;
        window.w = std::max(std::min(window.w, narrowest), window.w - missing);
    }
    SideBySide placed{window, 0, 0};
    placed.panelX = std::max(screen.x, std::min(window.x + window.w + kGap, screenRight - panelW));
    placed.panelY = std::max(screen.y, std::min(window.y, screen.y + screen.h - panelH));
    return placed;
}

} // namespace tuft::app
