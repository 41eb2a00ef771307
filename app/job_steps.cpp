#include "app/job_steps.h"

#include "app/job_checks.h"
#include "app/panel_options.h"
#include "app/selection.h"
#include "meshio/atomic_file.h"

#include <cstdio>

namespace tuft::app {

void checkWritable(const std::string &path) { meshio::AtomicFile probe(path); }

void checkFiles(const PlantJob &job, const std::vector<PresetUse> &presets)
{
    for (const PresetUse &preset : presets) {
        if (preset.saving) {
            checkPresetName(preset.path);
            continue;
        }
        const std::string problem = presetProblem(preset.path);
        if (!problem.empty())
            throw std::runtime_error("--load-preset " + preset.path + ": " + problem);
    }
    for (const std::string *path : {&job.output, &job.panelReport, &job.previewPng, &job.picturePng})
        if (!path->empty())
            checkWritable(*path);
}

void warn(const std::vector<std::string> &warnings)
{
    for (const std::string &warning : warnings)
        std::fprintf(stderr, "tuftsprout: warning: %s\n", warning.c_str());
}

namespace {

// Reads a mesh into a layer, telling what the file held that the object cannot keep.
void readLayer(const std::string &path, host::Object &object, int layer, meshio::UpAxis up)
{
    warn(during("reading " + path, [&] { return meshio::readMesh(path, object, layer, up); }));
}

} // namespace

void readInputs(const std::vector<std::string> &inputs, host::Object &object, meshio::UpAxis up)
{
    object.currentLayer = kCurrentLayer;
    object.layer(kCurrentLayer);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        readLayer(inputs[i], object, i == 0 ? kCurrentLayer : kBackgroundLayer + static_cast<int>(i), up);
}

host::Object readObject(const PlantJob &job)
{
    host::Object object;
    readInputs(job.inputs, object, job.up);
    if (!job.selection.empty())
        applySelection(object, kCurrentLayer, job.selection);
    if (!job.background.empty()) {
        readLayer(job.background, object, kBackgroundLayer, job.up);
        object.background = {kBackgroundLayer};
    }
    return object;
}

void writeText(const std::string &path, const std::string &text)
{
    meshio::AtomicFile file(path);
    file.write(text.data(), text.size());
    file.commit();
}

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

meshio::WrittenCounts writeOutput(const PlantJob &job, const host::Object &object, const std::string &plantedSurface,
                                  std::vector<std::pair<std::string, std::string>> provenance,
                                  std::unique_ptr<host::ProgressDisplay> bar)
{
    constexpr std::uint32_t kSteps = 1000;
    meshio::WriteProgress progress;
    if (bar) {
        bar->start("tuftsprout", ("writing " + job.output).c_str(), kSteps);
        progress = [&bar](std::uint64_t done, std::uint64_t total) {
            bar->advance(total > 0 ? done * kSteps / total : kSteps);
        };
    }
    try {
        meshio::WriteOptions options;
        options.layers = job.layers;
        options.plyEncoding = job.plyEncoding;
        options.uvMap = job.uvMap;
        options.normals = job.normals;
        options.up = job.up;
        options.plantedSurface = plantedSurface;
        options.generator = job.generator;
        options.provenance = std::move(provenance);
        options.progress = progress;
        const meshio::WrittenCounts written =
            during("writing " + job.output, [&] { return meshio::writeMesh(job.output, object, options); });
        if (bar)
            bar->finish();
        return written;
    } catch (...) {
        if (bar)
            std::fputc('\n', stderr); // the error goes on a line of its own
        throw;
    }
}

std::size_t elementsIn(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(kCurrentLayer);
    return layer != nullptr ? layer->mesh.pointCount() + layer->mesh.polygonCount() : 0;
}

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
    if (result.made < result.asked)
        std::fprintf(stderr, "tuftsprout: %llu of the %llu points asked for fit %g apart\n",
                     static_cast<unsigned long long>(result.made), static_cast<unsigned long long>(result.asked),
                     options.spacing);
    return result;
}

} // namespace tuft::app
