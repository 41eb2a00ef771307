#include "app/plant_job.h"

#include "app/job_checks.h"
#include "app/panel_options.h"
#include "app/png_file.h"
#include "app/selection.h"
#include "app/window_services.h"
#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "meshio/atomic_file.h"
#include "toolkit/offscreen_gl.h"
#include "toolkit/window_panels.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <system_error>

namespace tuft::app {

namespace {

constexpr int kCurrentLayer = 1;
constexpr int kBackgroundLayer = 2;
constexpr int kPreviewWidth = 500;
constexpr int kPreviewHeight = 250;
// What a run needs beside the blades: the program, the plug-in, buffers for writing.
constexpr std::uint64_t kRunOverhead = std::uint64_t(96) << 20;

// Runs a step of the job; a failure of the machine's (memory, threads) or of a library
// becomes a message that says which step it stopped.
template <typename Step> auto during(const std::string &what, Step step) -> decltype(step())
{
    try {
        return step();
    } catch (const std::bad_alloc &) {
        throw std::runtime_error("out of memory while " + what);
    } catch (const std::system_error &error) {
        throw std::runtime_error(what + ": " + error.what());
    }
}

// A plug-in message as one line: "warning: Can't Open File.", "info: It can't be
// carried out. Please, the Point select".
std::string messageLine(host::MessageKind kind, const char *first, const char *second)
{
    const char *kindName = kind == host::MessageKind::kInfo ? "info" : "warning";
    const std::string one = host::printable(first), two = host::printable(second);
    if (one == kindName)
        return std::string(kindName) + ": " + two;
    return std::string(kindName) + ": " + one + (!one.empty() && one.back() == '.' ? " " : ": ") + two;
}

// Making a file's temporary file and giving it up tells whether the file can be written.
void checkWritable(const std::string &path) { meshio::AtomicFile probe(path); }

// Checks, before anything is read or planted, what the job will write and load.
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
    for (const std::string *path : {&job.output, &job.panelReport, &job.previewPng})
        if (!path->empty())
            checkWritable(*path);
}

void warn(const std::vector<std::string> &warnings)
{
    for (const std::string &warning : warnings)
        std::fprintf(stderr, "tuftsprout: warning: %s\n", warning.c_str());
}

// Reads a mesh into a layer, telling what the file held that the object cannot keep.
void readLayer(const std::string &path, host::Object &object, int layer, meshio::UpAxis up)
{
    warn(during("reading " + path, [&] { return meshio::readMesh(path, object, layer, up); }));
}

host::Object readObject(const PlantJob &job)
{
    host::Object object;
    object.currentLayer = kCurrentLayer;
    object.layer(kCurrentLayer);
    for (std::size_t i = 0; i < job.inputs.size(); ++i)
        readLayer(job.inputs[i], object, i == 0 ? kCurrentLayer : kBackgroundLayer + static_cast<int>(i), job.up);
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

// Writes the output with a bar on the terminal, as long files take a while.
meshio::WrittenCounts writeWithProgress(const PlantJob &job, const host::Object &object,
                                        const std::string &plantedSurface,
                                        std::vector<std::pair<std::string, std::string>> provenance)
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

// What the headless run watches while the user's actions are replayed: the plug-in's
// warnings, the panel report, what planting will need. Any of them stops the run before
// OK, as a user who sees a warning box does not press OK.
class Watch {
public:
    Watch(const PlantJob &job, host::Modeler &modeler) : job_(job), modeler_(modeler) {}

    void message(host::MessageKind kind, const char *first, const char *second)
    {
        const std::string line = messageLine(kind, first, second);
        if (kind == host::MessageKind::kWarning)
            warnings_.push_back(line);
        else
            std::fprintf(stderr, "%s\n", line.c_str());
    }

    void panelOpened(const toolkit::PanelView &view)
    {
        if (job_.panelReport.empty())
            return;
        try {
            writeText(job_.panelReport, view.describe());
        } catch (const std::exception &error) {
            stop_ = std::string("--panel-report: ") + error.what();
        }
    }

    std::string afterAction(const toolkit::UserAction &action)
    {
        if (!stop_.empty() || warnings_.empty())
            return stop_;
        stop_ = explainWarning(action);
        return stop_;
    }

    std::string beforeOk(const toolkit::PanelView &view)
    {
        if (!stop_.empty())
            return stop_;
        const std::uint64_t need = bytesToPlant(view, modeler_.object()) + kRunOverhead;
        const std::uint64_t have = availableMemory();
        if (have > 0 && need > have)
            stop_ = "planting needs about " + sizeText(need) + " of memory, and this machine has " + sizeText(have) +
                    " available: plant fewer blades, or fewer divisions";
        return stop_;
    }

    // Why the run stopped itself, empty when it did not.
    const std::string &stopped() const { return stop_; }
    const std::vector<std::string> &warnings() const { return warnings_; }

private:
    // The warning in words that name what the user asked for and why it failed.
    std::string explainWarning(const toolkit::UserAction &action) const
    {
        const std::string said = "\"" + warnings_.front() + "\"";
        const std::string &path = modeler_.lastFileAnswer();
        if (action.type == toolkit::UserAction::Type::kPress && action.control == "Load") {
            const std::string why = presetProblem(path);
            return "--load-preset " + path + ": the plug-in could not load it (" + said + ")" +
                   (why.empty() ? "" : ": " + why);
        }
        if (action.type == toolkit::UserAction::Type::kPress && action.control == "Save") {
            const std::string why = whySaveFailed(path);
            return "--save-preset " + path + ": the plug-in could not save it (" + said + ")" +
                   (why.empty() ? "" : ": " + why);
        }
        const std::string name = action.name.empty() ? action.control : action.name;
        return "the plug-in warned " + said + " when \"" + name + "\" was set to " + action.value +
               "; nothing was planted";
    }

    const PlantJob &job_;
    host::Modeler &modeler_;
    std::vector<std::string> warnings_;
    std::string stop_;
};

std::size_t elementsIn(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(kCurrentLayer);
    return layer != nullptr ? layer->mesh.pointCount() + layer->mesh.polygonCount() : 0;
}

} // namespace

// Scatters the points Point mode will plant on, selecting all polygons when none are.
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

PlantResult runPlantJob(const PlantJob &job)
{
    checkFiles(job, job.presets);
    host::Object object = readObject(job);
    const std::int64_t clock = job.clock ? *job.clock : static_cast<std::int64_t>(std::time(nullptr));
    std::optional<scatter::ScatterResult> scattered;
    if (job.scatter)
        scattered = scatterForPlanting(job, object, clock);
    const std::size_t before = elementsIn(object);

    host::pinClock(job.clock);
    host::PluginLibrary library(job.plugin.empty() ? host::defaultPluginPath() : job.plugin);
    host::Modeler modeler(object);
    modeler.setContentDirectory(job.contentDirectory);
    for (const auto &answer : job.fileAnswers)
        modeler.queueFileAnswer(answer);

    Watch watch(job, modeler);
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
        modeler.setMessageSink([&watch](host::MessageKind kind, const char *first, const char *second) {
            watch.message(kind, first, second);
        });
        panels.afterAction = [&watch](const toolkit::UserAction &action) { return watch.afterAction(action); };
        panels.beforeOk = [&watch](const toolkit::PanelView &view) { return watch.beforeOk(view); };
    }
    modeler.setPanelServices(panels.services());
    panels.onOpened = [&watch](const toolkit::PanelView &view) { watch.panelOpened(view); };

    // Without a window the preview draws into an offscreen context when its picture is
    // wanted. Otherwise it draws with no context: its calls do nothing, its tables fill
    // all the same, and the run is spared starting Mesa's shader compiler.
    std::unique_ptr<toolkit::OffscreenGl> gl;
    std::vector<std::uint8_t> picture;
    toolkit::PanelView closing;
    if (!job.previewPng.empty()) {
        if (job.interactive)
            throw UsageError("--preview saves the picture of a run without a window");
        gl = std::make_unique<toolkit::OffscreenGl>(kPreviewWidth, kPreviewHeight);
        if (!gl->ok())
            throw host::PluginError("cannot render the preview: " + gl->error());
        headless.setDrawRunner([&gl](const std::function<void()> &draw) { gl->run(draw); });
    }
    panels.onClosing = [&](const toolkit::PanelView &view) {
        closing = view;
        if (gl)
            picture = gl->pixels();
    };

    const int status = modeler.activate(library);
    if (status != 0)
        throw host::PluginError(library.path() + ": the command did not run (activation returned " +
                                std::to_string(status) + ")");
    if (!watch.stopped().empty())
        throw std::runtime_error(watch.stopped());
    const std::string &actionError = job.interactive ? window.actionError() : headless.scriptError();
    if (!actionError.empty())
        throw UsageError(actionError);
    if (!modeler.failure().empty())
        throw std::runtime_error(modeler.failure() + " while planting; nothing was written");
    if (!watch.warnings().empty())
        throw std::runtime_error("the plug-in warned \"" + watch.warnings().front() +
                                 "\" while planting; nothing was written");

    PlantResult result;
    result.confirmed = panels.lastOpenResult() == 1;
    if (result.confirmed && elementsIn(object) == before && !job.allowEmpty)
        throw std::runtime_error("nothing was planted: " + whyNothingWasPlanted(closing, object) +
                                 " (--allow-empty writes the output all the same)");
    if (!job.previewPng.empty())
        writePng(job.previewPng, picture, kPreviewWidth, kPreviewHeight);
    if (!result.confirmed || job.output.empty())
        return result;
    if (scattered) // the points have served: the output holds the input and the blades
        scatter::removeScatteredPoints(object, kCurrentLayer, *scattered);
    const toolkit::ControlView *surface = closing.find("S_NAME");
    const meshio::WrittenCounts written =
        writeWithProgress(job, object, surface != nullptr ? surface->text : "", provenanceOf(job, closing, clock));
    warn(written.warnings);
    result.points = written.points;
    result.polygons = written.polygons;
    return result;
}

} // namespace tuft::app
