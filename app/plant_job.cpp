#include "plant_job.h"

#include "clock.h"
#include "loader.h"
#include "modeler.h"
#include "offscreen_gl.h"
#include "png_file.h"
#include "selection.h"

namespace tuft::app {

namespace {

constexpr int kCurrentLayer = 1;
constexpr int kBackgroundLayer = 2;
constexpr int kPreviewWidth = 500;
constexpr int kPreviewHeight = 250;

} // namespace

std::string controlAddress(const std::string &name)
{
    // The three profile sliders without a label, by their place on the panel.
    if (name == "P2(y)")
        return "#13";
    if (name == "P2(z)")
        return "#14";
    if (name == "P3(z)")
        return "#16";
    return name;
}

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
    toolkit::HeadlessPanels panels;
    host::Modeler modeler(object);
    modeler.setPanelServices(panels.services());
    modeler.setContentDirectory(job.contentDirectory);
    for (const auto &answer : job.fileAnswers)
        modeler.queueFileAnswer(answer);
    panels.setScript(job.actions);

    // The preview draws into a real context whenever one can be had.
    toolkit::OffscreenGl gl(kPreviewWidth, kPreviewHeight);
    panels.setDrawRunner([&gl](const std::function<void()> &draw) { gl.run(draw); });
    std::vector<std::uint8_t> picture;
    if (!job.previewPng.empty()) {
        if (!gl.ok())
            throw host::PluginError("cannot render the preview: " + gl.error());
        panels.onClosing = [&](const toolkit::PanelView &) { picture = gl.pixels(); };
    }

    PlantResult result;
    result.previewRendered = gl.ok();
    const int status = modeler.activate(library);
    if (status != 0)
        throw host::PluginError(library.path() + ": the command did not run (activation returned " +
                                std::to_string(status) + ")");
    if (!panels.scriptError().empty())
        throw UsageError(panels.scriptError());
    if (!job.previewPng.empty())
        writePng(job.previewPng, picture, kPreviewWidth, kPreviewHeight);
    result.confirmed = panels.lastOpenResult() == 1;
    if (!result.confirmed || job.output.empty())
        return result;
    const meshio::WrittenCounts written = meshio::writeMesh(job.output, object, job.layers, job.plyEncoding);
    result.points = written.points;
    result.polygons = written.polygons;
    return result;
}

} // namespace tuft::app
