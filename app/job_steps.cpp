#include "app/job_steps.h"

#include "app/preset_checks.h"
#include "app/selection.h"
#include "meshio/atomic_file.h"

#include <cstdio>

namespace tuft::app {

void checkWritable(const std::string &path) { meshio::AtomicFile probe(path); }

void checkFiles(const PlantJob &job)
{
    for (const PresetUse &preset : job.presets) {
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
    readInputs(job.inputs, object, job.writing.up);
    if (!job.selection.empty())
        applySelection(object, kCurrentLayer, job.selection);
    if (!job.background.empty()) {
        readLayer(job.background, object, kBackgroundLayer, job.writing.up);
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

} // namespace tuft::app
