#include "app/plant_job.h"

#include "app/job_steps.h"

#include "app/drawing.h"
#include "app/job_checks.h"
#include "app/panel_options.h"
#include "app/selection.h"
#include "host/clock.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "meshio/atomic_file.h"

#include <cstdio>
#include <ctime>
#include <memory>
#include <new>
#include <system_error>

namespace tuft::app {

namespace {

// What a run needs beside the blades: the program, the plug-in, buffers for writing.
constexpr std::uint64_t kRunOverhead = std::uint64_t(96) << 20;

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

} // namespace

void runViewJob(const ViewJob &job)
{
    checkWritable(job.picturePng);
    host::Object object;
    readInputs(job.inputs, object, job.up);
    writePicture(job.picturePng, object, job.layers, job.picture);
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
    toolkit::HeadlessPanels panels;
    panels.setScript(job.actions);
    modeler.setMessageSink([&watch](host::MessageKind kind, const char *first, const char *second) {
        watch.message(kind, first, second);
    });
    panels.afterAction = [&watch](const toolkit::UserAction &action) { return watch.afterAction(action); };
    panels.beforeOk = [&watch](const toolkit::PanelView &view) { return watch.beforeOk(view); };
    modeler.setPanelServices(panels.services());
    panels.onOpened = [&watch](const toolkit::PanelView &view) { watch.panelOpened(view); };

    // Without a window the preview draws into an offscreen context when its picture is
    // wanted. Otherwise it draws with no context: its calls do nothing, its tables fill
    // all the same, and the run is spared starting Mesa's shader compiler.
    std::unique_ptr<PreviewCapture> preview;
    if (!job.previewPng.empty())
        preview = std::make_unique<PreviewCapture>(panels);
    toolkit::PanelView closing;
    panels.onClosing = [&](const toolkit::PanelView &view) {
        closing = view;
        if (preview)
            preview->keep();
    };

    const int status = modeler.activate(library);
    if (status != 0)
        throw host::PluginError(library.path() + ": the command did not run (activation returned " +
                                std::to_string(status) + ")");
    if (!watch.stopped().empty())
        throw std::runtime_error(watch.stopped());
    const std::string &actionError = panels.scriptError();
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
    if (preview)
        preview->write(job.previewPng);
    if (!result.confirmed || job.output.empty())
        return result;
    if (scattered) // the points have served: the output holds the input and the blades
        scatter::removeScatteredPoints(object, kCurrentLayer, *scattered);
    const toolkit::ControlView *surface = closing.find("S_NAME");
    const meshio::WrittenCounts written =
        writeOutput(job, object, surface != nullptr ? surface->text : "", provenanceOf(job, closing, clock));
    warn(written.warnings);
    if (!job.picturePng.empty()) {
        view::PictureOptions picture = job.picture;
        picture.plantedSurface = surface != nullptr ? surface->text : "";
        writePicture(job.picturePng, object, job.layers, picture);
    }
    result.points = written.points;
    result.polygons = written.polygons;
    return result;
}

} // namespace tuft::app
