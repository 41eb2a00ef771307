#include "app/plant_job.h"

#include "app/blade_height.h"
#include "app/drawing.h"
#include "app/job_steps.h"
#include "app/memory_estimate.h"
#include "app/planting.h"
#include "app/preset_checks.h"

#include <cstdio>
#include <memory>

namespace tuft::app {

namespace {

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

// Stops the replay of the user's actions before OK, as a person who sees a warning box
// does not press OK: on a warning from the plug-in, a panel report that could not be
// written, or a planting that would not fit in memory. Info messages go to standard error.
class ReplayGuard {
public:
    // A quiet guard keeps the plug-in's info messages to itself.
    ReplayGuard(const PlantJob &job, Planting &planting, bool quiet)
        : job_(job), planting_(planting), modeler_(planting.modeler()), quiet_(quiet)
    {
    }

    void message(host::MessageKind kind, const char *first, const char *second)
    {
        const std::string line = messageLine(kind, first, second);
        if (kind == host::MessageKind::kWarning)
            warnings_.push_back(line);
        else if (!quiet_)
            std::fprintf(stderr, "%s\n", line.c_str());
    }

    std::string afterAction(const toolkit::UserAction &action)
    {
        if (stopped().empty() && !warnings_.empty())
            stop_ = explainWarning(action);
        return stopped();
    }

    std::string beforeOk(const toolkit::PanelView &view)
    {
        if (stopped().empty())
            stop_ = layerShortfall(view, modeler_.object());
        if (stopped().empty())
            stop_ = memoryShortfall(view, modeler_.object());
        return stopped();
    }

    // Why the run stopped itself, empty when it did not.
    const std::string &stopped() const { return stop_.empty() ? planting_.reportFailure() : stop_; }
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
            const std::string &saved = savedPreset(); // not the temporary file it was saved into
            const std::string why = whySaveFailed(saved);
            return "--save-preset " + saved + ": the plug-in could not save it (" + said + ")" +
                   (why.empty() ? "" : ": " + why);
        }
        const std::string name = action.name.empty() ? action.control : action.name;
        return "the plug-in warned " + said + " when \"" + name + "\" was set to " + action.value +
               "; nothing was planted";
    }

    // The name of the preset the user asked to save.
    const std::string &savedPreset() const
    {
        for (const PresetUse &preset : job_.presets)
            if (preset.saving)
                return preset.path;
        return modeler_.lastFileAnswer();
    }

    const PlantJob &job_;
    const Planting &planting_;
    host::Modeler &modeler_;
    bool quiet_;
    std::vector<std::string> warnings_;
    std::string stop_;
};

} // namespace

void runViewJob(const ViewJob &job)
{
    RunFiles files;
    for (const std::string &input : job.inputs)
        files.read("the input " + input, input);
    files.written("-o " + job.picturePng, job.picturePng);
    files.check();
    checkWritable(job.picturePng);
    host::Object object;
    readInputs(job.inputs, object, job.up, files);
    files.check(); // and the files the inputs named
    meshio::OutputSet outputs;
    writePicture(outputs, job.picturePng, object, job.layers, job.picture);
    outputs.commit();
}

namespace {

// Runs the job's command once over `object`; what stopped it is thrown as the user is
// told it. `panels` replays the job's actions; the caller may have hooked it already.
Planting::Outcome runGuarded(const PlantJob &job, Planting &planting, toolkit::HeadlessPanels &panels,
                             bool quiet = false)
{
    host::Modeler &modeler = planting.modeler();
    ReplayGuard guard(job, planting, quiet);
    modeler.setMessageSink([&guard](host::MessageKind kind, const char *first, const char *second) {
        guard.message(kind, first, second);
    });
    panels.afterAction = [&guard](const toolkit::UserAction &action) { return guard.afterAction(action); };
    panels.beforeOk = [&guard](const toolkit::PanelView &view) { return guard.beforeOk(view); };
    // The hooks end with the guard, however the run ends.
    struct Unhook {
        host::Modeler &modeler;
        toolkit::HeadlessPanels &panels;
        ~Unhook()
        {
            modeler.setMessageSink(nullptr);
            panels.afterAction = nullptr;
            panels.beforeOk = nullptr;
        }
    } unhook{modeler, panels};

    const Planting::Outcome outcome = planting.run();
    if (outcome.status != 0)
        throw host::PluginError(planting.library().path() + ": the command did not run (activation returned " +
                                std::to_string(outcome.status) + ")");
    if (!guard.stopped().empty())
        throw std::runtime_error(guard.stopped());
    const std::string &actionError = panels.scriptError();
    if (!actionError.empty())
        throw UsageError(actionError);
    if (!modeler.failure().empty())
        throw std::runtime_error(modeler.failure() + " while planting; nothing was written");
    if (!guard.warnings().empty())
        throw std::runtime_error("the plug-in warned \"" + guard.warnings().front() +
                                 "\" while planting; nothing was written");
    return outcome;
}

// Runs a probe job over an empty object; gives the panel as it closed and the object.
toolkit::PanelView runProbe(const PlantJob &probe, host::Object &object)
{
    toolkit::HeadlessPanels panels;
    panels.setScript(probe.actions);
    Planting planting(probe, object, panels);
    toolkit::PanelView closing;
    panels.onClosing = [&closing, keep = panels.onClosing](const toolkit::PanelView &view) {
        keep(view);
        closing = view;
    };
    runGuarded(probe, planting, panels, true);
    return closing;
}

std::size_t pointsOfCurrentLayer(const host::Object &object)
{
    const host::Layer *layer = object.findLayer(kCurrentLayer);
    return layer != nullptr ? layer->mesh.pointCount() : 0;
}

// The job with the panel's "Size" that makes the template as tall as it asks.
PlantJob sizedForBladeHeight(const PlantJob &job, const host::Object &object)
{
    host::Object none = probeObject(job, object);
    const toolkit::PanelView panel = runProbe(panelProbe(job), none);
    const double height = askedBladeHeight(*job.bladeHeight, panel, object);
    host::Object field = probeObject(job, object);
    runProbe(templateProbe(job), field);
    // At Size 1 a blade spans about 2; a billionth of that is rounding, not a height.
    const double unit = heightOfLayer(field, kCurrentLayer);
    if (!(unit > 1e-9))
        throw UsageError("--blade-height: the blade as shaped has no height to scale");
    return withSize(job, height / unit);
}

} // namespace

PlantResult runPlantJob(const PlantJob &asked)
{
    checkFiles(asked);
    host::Object object = readObject(asked);
    const PlantJob job = asked.bladeHeight ? sizedForBladeHeight(asked, object) : asked;
    toolkit::HeadlessPanels panels;
    panels.setScript(job.actions);
    Planting planting(job, object, panels);

    // Without a window the preview draws into an offscreen context when its picture is
    // wanted. Otherwise it draws with no context: its calls do nothing, its tables fill
    // all the same, and the run is spared starting Mesa's shader compiler.
    std::unique_ptr<PreviewCapture> preview;
    if (!job.previewPng.empty()) {
        preview = std::make_unique<PreviewCapture>(panels);
        panels.onClosing = [&preview, keepView = panels.onClosing](const toolkit::PanelView &view) {
            keepView(view);
            preview->keep();
        };
    }

    const std::size_t objectPoints = pointsOfCurrentLayer(object);
    const Planting::Outcome outcome = runGuarded(job, planting, panels);

    PlantResult result;
    result.confirmed = outcome.confirmed;
    if (result.confirmed) {
        const host::LayerMesh &layer = object.layer(kCurrentLayer)->mesh;
        const std::uint64_t bladePoints = bladeElements(planting.closingPanel(), object).points;
        result.blades = summarizeBlades(layer, objectPoints, bladePoints);
        if (job.colours) {
            meshio::BladeColours colours = colourBlades(layer, objectPoints, bladePoints, *job.colours,
                                                        static_cast<std::uint64_t>(planting.clock()));
            colours.layer = kCurrentLayer;
            planting.setBladeColours({std::move(colours)});
        }
    }
    if (!outcome.nothingPlanted.empty() && !job.allowEmpty)
        throw std::runtime_error("nothing was planted: " + outcome.nothingPlanted +
                                 " (--allow-empty writes the output all the same)");
    if (preview)
        preview->write(planting.outputs(), job.previewPng);
    if (!result.confirmed || job.output.empty()) {
        planting.outputs().commit();
        return result;
    }
    result.written = planting.write();
    return result;
}

std::string unlistedBladesWarning(const std::string &path, const PlantResult &result)
{
    if (!meshio::holdsPlacements(path) || result.written.placements >= result.blades.blades)
        return {};
    return std::to_string(result.blades.blades - result.written.placements) + " of the " +
           std::to_string(result.blades.blades) + " blades planted are not in " + path +
           ": they are copies (a blade whose normals turn with it is pasted as one), or placed in ways a "
           "translation, rotation and scale cannot say; write a mesh file for them";
}

std::string describeWritten(const std::string &path, const meshio::WrittenCounts &written)
{
    if (meshio::holdsPlacements(path))
        return std::to_string(written.placements) + (written.placements == 1 ? " placement" : " placements");
    return std::to_string(written.points) + " points, " + std::to_string(written.polygons) + " polygons";
}

} // namespace tuft::app
