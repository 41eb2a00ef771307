#include "app/planting.h"

#include "app/drawing.h"
#include "app/follow_surface.h"
#include "app/job_steps.h"
#include "app/nothing_planted.h"
#include "app/panel_options.h"
#include "app/preset_checks.h"
#include "app/selection.h"
#include "host/clock.h"

#include <cstdio>
#include <ctime>
#include <stdexcept>
#include <utility>

namespace tuft::app {

namespace {

// The plug-in's path, once the clock is pinned: the library may read it as it loads.
std::string pinClockAndFindPlugin(const PlantJob &job)
{
    host::pinClock(job.clock);
    return job.plugin.empty() ? host::defaultPluginPath() : job.plugin;
}

// The points and polygons of the current layer, to tell whether a run added any.
std::size_t elementsIn(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(kCurrentLayer);
    return layer != nullptr ? layer->mesh.pointCount() + layer->mesh.polygonCount() : 0;
}

// Why fewer points were scattered than asked for: the spacing or the clumps left no room.
std::string shortfall(const scatter::ScatterOptions &options, const scatter::ScatterResult &result)
{
    char text[256];
    std::snprintf(text, sizeof text, "%llu of the %llu points asked for fit",
                  static_cast<unsigned long long>(result.made), static_cast<unsigned long long>(result.asked));
    std::string said = text;
    if (options.spacing > 0) {
        std::snprintf(text, sizeof text, " %g apart", options.spacing);
        said += text;
    }
    if (options.clumps) {
        std::snprintf(text, sizeof text, " in %zu clumps of radius %g", result.centres.size(), options.clumps->radius);
        said += text;
    }
    return said;
}

// How a file was made, for formats that keep it: the clock the blades were seeded
// from, the inputs, and every option of the panel as it stood at OK.
std::vector<std::pair<std::string, std::string>> provenanceOf(const PlantJob &job, const toolkit::PanelView &panel,
                                                              std::int64_t clock)
{
    std::vector<std::pair<std::string, std::string>> made = {{"clock", std::to_string(clock)}};
    for (std::size_t i = 0; i < job.inputs.size(); ++i)
        made.emplace_back(i == 0 ? "input" : "input " + std::to_string(i + 1), job.inputs[i]);
    if (!job.background.empty())
        made.emplace_back("background", job.background);
    for (std::size_t i = 0; i < panel.controls.size(); ++i) {
        const toolkit::ControlView &control = panel.controls[i];
        if (control.kind == "ButtonControl" || control.kind == "OpenGLControl")
            continue;
        made.emplace_back(control.label.empty() ? controlName("#" + std::to_string(i)) : control.label,
                          control.value());
    }
    return made;
}

// Writes the mesh into `outputs`, showing how far it has come on `bar` when there is one.
meshio::WrittenCounts writeMeshShowingProgress(meshio::OutputSet &outputs, const std::string &path,
                                               const host::Object &object, meshio::WriteOptions options,
                                               std::unique_ptr<host::ProgressDisplay> bar)
{
    constexpr std::uint32_t kSteps = 1000;
    if (bar) {
        bar->start("tuftsprout", ("writing " + path).c_str(), kSteps);
        options.progress = [&bar](std::uint64_t done, std::uint64_t total) {
            bar->advance(total > 0 ? done * kSteps / total : kSteps);
        };
    }
    try {
        const meshio::WrittenCounts written =
            during("writing " + path, [&] { return meshio::writeMesh(outputs, path, object, options); });
        if (bar)
            bar->finish();
        return written;
    } catch (...) {
        if (bar)
            std::fputc('\n', stderr); // the error goes on a line of its own
        throw;
    }
}

// The name the plug-in is given to save a preset in: a temporary file among the run's
// outputs, put in place of the preset's file with the others.
std::string stagedPreset(meshio::OutputSet &outputs, const std::string &name)
{
    std::string staged;
    try {
        staged = outputs.reserve(presetFileName(name));
    } catch (const meshio::MeshIoError &error) {
        const std::string why = whySaveFailed(name);
        throw std::runtime_error("--save-preset " + name + ": " + (why.empty() ? error.what() : why));
    }
    if (staged.find(".zts") == std::string::npos) // cut short: the plug-in would add it
        throw UsageError("--save-preset " + name + ": too long a name to save a preset under");
    return staged;
}

} // namespace

scatter::ScatterResult scatterForPlanting(const PlantJob &job, host::Object &object, std::int64_t clock)
{
    if (job.selection.empty())
        applySelection(object, kCurrentLayer, "polygons:all");
    else if (object.selectionMode != host::SelectionMode::kPolygons)
        throw UsageError("--scatter scatters over polygons: select them with --select polygons:WHICH");
    scatter::ScatterOptions options = *job.scatter;
    options.seed = static_cast<std::uint64_t>(clock);
    scatter::ScatterResult result;
    try {
        result = during("scattering points", [&] { return scatter::scatterPoints(object, kCurrentLayer, options); });
    } catch (const std::invalid_argument &error) {
        throw UsageError(std::string("--scatter: ") + error.what());
    }
    if (result.asked == 0)
        std::fprintf(stderr, "tuftsprout: a density of %g over an area of %g%s asks for no points\n",
                     options.density.value_or(0), result.area,
                     options.edgeFalloff > 0 ? " (what the edge falloff leaves of it)" : "");
    if (result.made < result.asked)
        std::fprintf(stderr, "tuftsprout: %s\n", shortfall(options, result).c_str());
    return result;
}

Planting::Planting(const PlantJob &job, host::Object &object, toolkit::PanelToolkit &panels)
    : job_(job), object_(object), panels_(panels), library_(pinClockAndFindPlugin(job)), modeler_(object)
{
    modeler_.setContentDirectory(job.contentDirectory);
    for (std::size_t i = 0; i < job.fileAnswers.size(); ++i) {
        const std::optional<std::string> &answer = job.fileAnswers[i];
        const bool saving = answer && i < job.presets.size() && job.presets[i].saving;
        modeler_.queueFileAnswer(saving && !job.interactive ? stagedPreset(outputs_, *answer) : answer);
    }
    modeler_.setPanelServices(panels.services());
    panels.onOpened = [this](const toolkit::PanelView &view) { panelOpened(view); };
    panels.onClosing = [this](const toolkit::PanelView &view) { closing_ = view; };
}

void Planting::panelOpened(const toolkit::PanelView &view)
{
    reportFailure_.clear();
    if (job_.panelReport.empty())
        return;
    try {
        writeText(outputs_, job_.panelReport, view.describe());
        if (job_.interactive) // the window's report is there while its panel is open
            outputs_.commit();
    } catch (const std::exception &error) {
        reportFailure_ = std::string("--panel-report: ") + error.what();
    }
}

Planting::Outcome Planting::run()
{
    clock_ = job_.clock ? *job_.clock : static_cast<std::int64_t>(std::time(nullptr));
    std::optional<scatter::ScatterResult> scattered;
    if (job_.scatter)
        scattered = scatterForPlanting(job_, object_, clock_);
    std::optional<SurfaceTemporaries> temporaries;
    if (job_.followSurface)
        temporaries = during("making the temporary polygons", [&] {
            return addSurfaceTemporaries(object_, kCurrentLayer, *job_.followSurface,
                                         scattered ? &*scattered : nullptr);
        });
    const std::size_t before = elementsIn(object_);
    Outcome outcome;
    outcome.status = modeler_.activate(library_);
    outcome.confirmed = panels_.lastOpenResult() == 1;
    const bool ranThrough = outcome.status == 0 && outcome.confirmed && modeler_.failure().empty();
    const bool added = elementsIn(object_) != before;
    if (temporaries) // they have served, whatever came of the run
        removeSurfaceTemporaries(object_, kCurrentLayer, *temporaries, ranThrough);
    if (outcome.confirmed && !added)
        outcome.nothingPlanted =
            whyNothingWasPlanted(temporaries ? asPointModePanel(closing_, *job_.followSurface) : closing_, object_);
    if (scattered && ranThrough)
        scatter::removeScatteredPoints(object_, kCurrentLayer, *scattered); // they have served
    return outcome;
}

std::string Planting::plantedSurface() const
{
    const toolkit::ControlView *surface = closing_.find("S_NAME");
    return surface != nullptr ? surface->text : "";
}

meshio::WrittenCounts Planting::write(std::unique_ptr<host::ProgressDisplay> display)
{
    meshio::WriteOptions options = job_.writing;
    options.plantedSurfaces = plantedSurfaces_.empty() ? std::vector<std::string>{plantedSurface()} : plantedSurfaces_;
    options.provenance = provenanceOf(job_, closing_, clock_);
    options.colours = colours_;
    if (!job_.picturePng.empty()) { // first: a picture that fails has cost no mesh written
        view::PictureOptions picture = job_.picture;
        picture.plantedSurfaces = options.plantedSurfaces;
        picture.colours = colours_;
        writePicture(outputs_, job_.picturePng, object_, job_.writing.layers, picture);
    }
    const meshio::WrittenCounts written =
        writeMeshShowingProgress(outputs_, job_.output, object_, std::move(options), std::move(display));
    warn(written.warnings);
    outputs_.commit();
    return written;
}

} // namespace tuft::app
