#include "app/plant_job.h"

#include "app/png_file.h"
#include "app/selection.h"
#include "app/window_services.h"
#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "toolkit/offscreen_gl.h"
#include "toolkit/window_panels.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace tuft::app {

namespace {

constexpr int kCurrentLayer = 1;
constexpr int kBackgroundLayer = 2;
constexpr int kPreviewWidth = 500;
constexpr int kPreviewHeight = 250;

// Writes the output with a bar on the terminal, as long files take a while.
meshio::WrittenCounts writeWithProgress(const PlantJob &job, const host::Object &object)
{
    constexpr std::uint32_t kSteps = 1000;
    const std::unique_ptr<host::ProgressDisplay> bar = host::makeTerminalProgress();
    meshio::WriteProgress progress;
    if (bar) {
        bar->start("tuftsprout", ("writing " + job.output).c_str(), kSteps);
        progress = [&bar](std::uint64_t done, std::uint64_t total) {
            bar->advance(total > 0 ? done * kSteps / total : kSteps);
        };
    }
    try {
        const meshio::WrittenCounts written =
            meshio::writeMesh(job.output, object, job.layers, job.plyEncoding, progress);
        if (bar)
            bar->finish();
        return written;
    } catch (...) {
        if (bar)
            std::fputc('\n', stderr); // the error goes on a line of its own
        throw;
    }
}

} // namespace

PlantResult runPlantJob(const PlantJob &job)
{
    host::Object object;
    object.currentLayer = kCurrentLayer;
    object.layer(kCurrentLayer);
    if (!job.input.empty())
        meshio::readMesh(job.input, object, kCurrentLayer);
    if (!job.selection.empty())
        applySelection(object, kCurrentLayer, job.selection);
    if (!job.background.empty()) {
        meshio::readMesh(job.background, object, kBackgroundLayer);
        object.background = {kBackgroundLayer};
    }

    host::pinClock(job.clock);
    host::PluginLibrary library(job.plugin.empty() ? host::defaultPluginPath() : job.plugin);
    host::Modeler modeler(object);
    modeler.setContentDirectory(job.contentDirectory);
    for (const auto &answer : job.fileAnswers)
        modeler.queueFileAnswer(answer);

    toolkit::HeadlessPanels headless;
    toolkit::WindowPanels window;
    toolkit::PanelToolkit &panels = job.interactive ? static_cast<toolkit::PanelToolkit &>(window) : headless;
    if (job.interactive) {
        std::string why;
        if (!toolkit::displayAvailable(why))
            throw std::runtime_error("the window cannot be shown: " + why);
        window.setInitialActions(job.actions);
        installWindowServices(modeler);
    } else {
        headless.setScript(job.actions);
    }
    modeler.setPanelServices(panels.services());
    if (!job.panelReport.empty())
        panels.onOpened = [&](const toolkit::PanelView &view) { std::ofstream(job.panelReport) << view.describe(); };

    // Without a window the preview draws into an offscreen context when its picture is
    // wanted. Otherwise it draws with no context: its calls do nothing, its tables fill
    // all the same, and the run is spared starting Mesa's shader compiler.
    std::unique_ptr<toolkit::OffscreenGl> gl;
    std::vector<std::uint8_t> picture;
    if (!job.previewPng.empty()) {
        if (job.interactive)
            throw UsageError("--preview saves the picture of a run without a window");
        gl = std::make_unique<toolkit::OffscreenGl>(kPreviewWidth, kPreviewHeight);
        if (!gl->ok())
            throw host::PluginError("cannot render the preview: " + gl->error());
        headless.setDrawRunner([&gl](const std::function<void()> &draw) { gl->run(draw); });
        panels.onClosing = [&](const toolkit::PanelView &) { picture = gl->pixels(); };
    }

    PlantResult result;
    const int status = modeler.activate(library);
    if (status != 0)
        throw host::PluginError(library.path() + ": the command did not run (activation returned " +
                                std::to_string(status) + ")");
    const std::string &actionError = job.interactive ? window.actionError() : headless.scriptError();
    if (!actionError.empty())
        throw UsageError(actionError);
    if (!job.previewPng.empty())
        writePng(job.previewPng, picture, kPreviewWidth, kPreviewHeight);
    result.confirmed = panels.lastOpenResult() == 1;
    if (!result.confirmed || job.output.empty())
        return result;
    const meshio::WrittenCounts written = writeWithProgress(job, object);
    result.points = written.points;
    result.polygons = written.polygons;
    return result;
}

} // namespace tuft::app
