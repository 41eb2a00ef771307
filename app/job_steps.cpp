#include "app/job_steps.h"

#include "app/preset_checks.h"
#include "app/selection.h"
#include "meshio/atomic_file.h"
#include "meshio/file_system.h"

#include <cstdio>

namespace tuft::app {

void RunFiles::read(std::string what, std::string path, Part part)
{
    files_.push_back({std::move(what), std::move(path), false, part});
}

void RunFiles::written(std::string what, std::string path, Part part)
{
    files_.push_back({std::move(what), std::move(path), true, part});
}

RunFiles RunFiles::of(const PlantJob &job)
{
    RunFiles files;
    for (std::size_t i = 0; i < job.inputs.size(); ++i)
        files.read("the input " + job.inputs[i], job.inputs[i], i == 0 ? Part::kMesh : Part::kOther);
    if (!job.background.empty())
        files.read("--bg-layer " + job.background, job.background);
    for (const Variant &variant : job.variants)
        files.read("--variant " + variant.path, variant.path, variant.mesh ? Part::kOther : Part::kPreset);
    for (const PresetUse &preset : job.presets) {
        if (preset.saving)
            files.written("--save-preset " + preset.path, presetFileName(preset.path), Part::kPreset);
        else
            files.read("--load-preset " + preset.path, preset.path, Part::kPreset);
    }
    if (!job.output.empty()) {
        files.written("-o " + job.output, job.output, Part::kMesh);
        for (const std::string &beside : meshio::companionsOf(job.output))
            files.written("the file " + beside + " written beside -o " + job.output, beside, Part::kBeside);
    }
    if (!job.picturePng.empty())
        files.written("--picture " + job.picturePng, job.picturePng);
    if (!job.previewPng.empty())
        files.written("--preview " + job.previewPng, job.previewPng);
    if (!job.panelReport.empty())
        files.written("--panel-report " + job.panelReport, job.panelReport);
    return files;
}

void RunFiles::check() const
{
    std::vector<std::string> identities;
    std::string meshRead, meshWritten;
    for (const File &file : files_) {
        identities.push_back(meshio::files::fileIdentity(file.path));
        if (file.part == Part::kMesh)
            (file.output ? meshWritten : meshRead) = identities.back();
    }
    const bool replacing = !meshWritten.empty() && meshWritten == meshRead;
    for (std::size_t i = 0; i < files_.size(); ++i) {
        for (std::size_t j = i + 1; j < files_.size(); ++j) {
            const File &a = files_[i], &b = files_[j];
            if (identities[i] != identities[j] || (!a.output && !b.output))
                continue;
            if (a.output && b.output)
                throw UsageError(a.what + " and " + b.what + " are one file: each output needs a file of its own");
            const File &output = a.output ? a : b, &input = a.output ? b : a;
            const bool sameKind = output.part == input.part && output.part != Part::kOther;
            if (sameKind && (replacing || output.part == Part::kPreset))
                continue;
            throw UsageError(output.what + " would replace " + input.what +
                             ", which the run reads: write it under another name");
        }
    }
}

void checkWritable(const std::string &path) { meshio::AtomicFile probe(path); }

void checkFiles(const PlantJob &job)
{
    RunFiles::of(job).check();
    const std::string problem = job.output.empty() ? std::string() : meshio::outputNameProblem(job.output);
    if (!problem.empty())
        throw UsageError("-o " + job.output + ": " + problem);
    for (const PresetUse &preset : job.presets) {
        if (preset.saving) {
            checkPresetName(preset.path);
            continue;
        }
        const std::string problem = presetProblem(preset.path);
        if (!problem.empty())
            throw std::runtime_error("--load-preset " + preset.path + ": " + problem);
    }
    for (const Variant &variant : job.variants)
        if (const std::string problem = variant.mesh ? std::string() : presetProblem(variant.path); !problem.empty())
            throw std::runtime_error("--variant " + variant.path + ": " + problem);
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

// Reads a mesh into a layer, telling what the file held that the object cannot keep;
// the files it names go into `files`.
void readLayer(const std::string &path, host::Object &object, int layer, meshio::UpAxis up, RunFiles &files,
               RunFiles::Part part)
{
    std::vector<std::string> named;
    warn(during("reading " + path, [&] { return meshio::readMesh(path, object, layer, up, &named); }));
    for (const std::string &file : named)
        files.read("the file " + file + " that " + path + " names", file, part);
}

} // namespace

void readInputs(const std::vector<std::string> &inputs, host::Object &object, meshio::UpAxis up, RunFiles &files)
{
    object.currentLayer = kCurrentLayer;
    object.layer(kCurrentLayer);
    for (std::size_t i = 0; i < inputs.size(); ++i)
        readLayer(inputs[i], object, i == 0 ? kCurrentLayer : kBackgroundLayer + static_cast<int>(i), up, files,
                  i == 0 ? RunFiles::Part::kBeside : RunFiles::Part::kOther);
}

host::Object readObject(const PlantJob &job)
{
    RunFiles files = RunFiles::of(job);
    host::Object object;
    readInputs(job.inputs, object, job.writing.up, files);
    if (!job.selection.empty())
        applySelection(object, kCurrentLayer, job.selection);
    if (!job.background.empty()) {
        readLayer(job.background, object, kBackgroundLayer, job.writing.up, files, RunFiles::Part::kOther);
        object.background = {kBackgroundLayer};
    }
    files.check();
    return object;
}

void readBackground(const PlantJob &job, host::Object &object)
{
    RunFiles files = RunFiles::of(job);
    object.layer(kBackgroundLayer)->mesh.clear();
    readLayer(job.background, object, kBackgroundLayer, job.writing.up, files, RunFiles::Part::kOther);
    object.background = {kBackgroundLayer};
    files.check();
}

void writeText(meshio::OutputSet &outputs, const std::string &path, const std::string &text)
{
    meshio::AtomicFile &file = outputs.add(path);
    file.write(text.data(), text.size());
    file.complete();
}

} // namespace tuft::app
