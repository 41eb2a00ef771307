#include "app/plant_job.h"

#include "app/blade_height.h"
#include "app/drawing.h"
#include "app/job_steps.h"
#include "app/memory_estimate.h"
#include "app/planting.h"
#include "app/preset_checks.h"
#include "app/variants.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <numeric>
#include <system_error>

namespace tuft::app {

namespace {

// Writes the planting's files while the blades are measured for the report on another
// thread: a big file goes at the disk's pace, and the cores would only wait for it.
meshio::WrittenCounts writeSummarizing(Planting &planting, const std::function<BladeSummary()> &summarize,
                                       BladeSummary &summary)
{
    std::future<BladeSummary> measured;
    try {
        measured = std::async(std::launch::async, summarize);
    } catch (const std::system_error &) { // no thread to be had: one after the other
        summary = summarize();
        return planting.write();
    }
    const meshio::WrittenCounts written = planting.write();
    summary = measured.get();
    return written;
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

// The selected points (in point selection) or polygons of the current layer.
std::vector<std::uint32_t> selectedTargets(const host::Object &object, bool points)
{
    const host::LayerMesh &mesh = object.findLayer(kCurrentLayer)->mesh;
    std::vector<std::uint32_t> targets;
    const std::size_t count = points ? mesh.pointCount() : mesh.polygonCount();
    for (std::size_t i = 0; i < count; ++i)
        if (((points ? mesh.pointFlags(i) : mesh.polygon(i).flags) & 1) != 0)
            targets.push_back(static_cast<std::uint32_t>(i));
    return targets;
}

// Selects the targets given to `variant`, and no other.
void selectShare(host::Object &object, bool points, const std::vector<std::uint32_t> &targets,
                 const std::vector<std::uint32_t> &share, std::uint32_t variant)
{
    host::LayerMesh &mesh = object.layer(kCurrentLayer)->mesh;
    for (std::size_t k = 0; k < targets.size(); ++k) {
        const std::uint8_t flags = points ? mesh.pointFlags(targets[k]) : mesh.polygon(targets[k]).flags;
        const std::uint8_t wanted = share[k] == variant ? flags | 1 : flags & ~1;
        if (wanted == flags)
            continue;
        if (points)
            mesh.setPointFlags(targets[k], wanted);
        else
            mesh.setPolygonFlags(targets[k], wanted);
    }
}

// Each variant's job as it is planted: in Ground mode with its share of "Number", or the
// number of targets it gets otherwise (`shares`).
std::deque<PlantJob> variantJobs(const PlantJob &job, const host::Object &object, std::int64_t clock,
                                 std::vector<std::size_t> &shares, const std::vector<std::uint32_t> &share)
{
    const std::vector<double> weights = weightsOf(job.variants);
    std::deque<PlantJob> jobs;
    std::vector<long> numbers; // "Number" of each variant in Ground mode, -1 in the others
    for (std::size_t i = 0; i < job.variants.size(); ++i) {
        PlantJob planted = variantJob(job, job.variants[i], clock + static_cast<std::int64_t>(i));
        planted.scatter.reset(); // scattered once, for all of them
        if (job.bladeHeight)
            planted = sizedForBladeHeight(planted, object);
        host::Object none = probeObject(planted, object);
        const toolkit::PanelView panel = runProbe(panelProbe(planted), none);
        const toolkit::ControlView *mode = panel.find("Mode"), *number = panel.find("Number");
        numbers.push_back(mode == nullptr || mode->integer == 0 ? (number != nullptr ? number->integer : 0) : -1);
        jobs.push_back(std::move(planted));
    }
    // One "Number" for all is split exactly; numbers of their own are each taken by weight.
    const bool one = std::all_of(numbers.begin(), numbers.end(), [&](long n) { return n == numbers.front(); });
    const std::vector<std::uint64_t> split =
        splitByWeight(numbers.front() > 0 ? static_cast<std::uint64_t>(numbers.front()) : 0, weights);
    const double sum = std::accumulate(weights.begin(), weights.end(), 0.0);
    shares.assign(jobs.size(), 0);
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (numbers[i] < 0) {
            shares[i] = static_cast<std::size_t>(std::count(share.begin(), share.end(), i));
            continue;
        }
        shares[i] = one ? split[i] : static_cast<std::size_t>(std::llround(numbers[i] * weights[i] / sum));
        jobs[i] = withNumber(jobs[i], shares[i]);
    }
    return jobs;
}

// The variants planted one after another into the object, each by a run of its own over
// its share, then written together.
PlantResult runVariantJob(const PlantJob &job, host::Object &object)
{
    const std::int64_t clock = job.clock ? *job.clock : static_cast<std::int64_t>(std::time(nullptr));
    std::optional<scatter::ScatterResult> scattered;
    if (job.scatter)
        scattered = scatterForPlanting(job, object, clock);
    const bool points = object.selectionMode == host::SelectionMode::kPoints;
    const std::vector<std::uint32_t> targets = selectedTargets(object, points);
    const std::vector<std::uint32_t> share =
        shareByWeight(targets.size(), weightsOf(job.variants), static_cast<std::uint64_t>(clock));
    std::vector<std::size_t> shares;
    const std::deque<PlantJob> jobs = variantJobs(job, object, clock, shares, share);

    std::vector<BladeRun> runs;
    std::vector<std::string> surfaces; // the preset variants' blades'
    std::unique_ptr<toolkit::HeadlessPanels> panels;
    std::unique_ptr<Planting> planting;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (shares[i] == 0)
            continue;
        selectShare(object, points, targets, share, static_cast<std::uint32_t>(i));
        if (job.variants[i].mesh)
            readBackground(jobs[i], object);
        planting.reset();
        panels = std::make_unique<toolkit::HeadlessPanels>();
        panels->setScript(jobs[i].actions);
        planting = std::make_unique<Planting>(jobs[i], object, *panels);
        const std::size_t before = pointsOfCurrentLayer(object);
        runGuarded(jobs[i], *planting, *panels);
        if (!job.variants[i].mesh)
            surfaces.push_back(planting->plantedSurface());
        const std::uint64_t bladePoints = bladeElements(planting->closingPanel(), object).points;
        if (bladePoints > 0)
            runs.push_back({before, bladePoints, (pointsOfCurrentLayer(object) - before) / bladePoints});
    }
    if (scattered)
        scatter::removeScatteredPoints(object, kCurrentLayer, *scattered);
    for (BladeRun &run : runs) // the blades came after the scattered points
        run.firstPoint -= scattered ? scattered->made : 0;
    if (object.findLayer(kBackgroundLayer) != nullptr && job.background.empty()) { // a mesh variant's, served
        object.layer(kBackgroundLayer)->mesh.clear();
        object.background.clear();
    }

    PlantResult result;
    result.confirmed = true;
    const host::LayerMesh &layer = object.layer(kCurrentLayer)->mesh;
    for (const BladeRun &run : runs)
        result.blades.blades += countBlades(layer, run.firstPoint, run.bladePoints, run.count);
    const auto summarize = [&] {
        BladeSummary all;
        for (std::size_t r = 0; r < runs.size(); ++r) {
            const BladeSummary summary = summarizeBlades(layer, runs[r].firstPoint, runs[r].bladePoints, runs[r].count);
            all = r == 0 ? summary : combined(all, summary);
        }
        return all;
    };
    if (result.blades.blades == 0 && !job.allowEmpty)
        throw std::runtime_error("nothing was planted: no variant got a blade to plant (--allow-empty writes the "
                                 "output all the same)");
    if (!planting) { // nothing to plant: the output is written all the same
        panels = std::make_unique<toolkit::HeadlessPanels>();
        planting = std::make_unique<Planting>(jobs.front(), object, *panels);
    }
    planting->setPlantedSurfaces(surfaces);
    if (job.colours)
        planting->setBladeColours(
            {colourBlades(*object.layer(kCurrentLayer), runs, *job.colours, static_cast<std::uint64_t>(clock))});
    result.written = writeSummarizing(*planting, summarize, result.blades);
    return result;
}

} // namespace

PlantResult runPlantJob(const PlantJob &asked)
{
    checkFiles(asked);
    host::Object object = readObject(asked);
    if (!asked.variants.empty())
        return runVariantJob(asked, object);
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
    std::uint64_t bladePoints = 0;
    const auto summarize = [&] {
        return summarizeBlades(object.layer(kCurrentLayer)->mesh, objectPoints, bladePoints);
    };
    if (result.confirmed) {
        const host::LayerMesh &layer = object.layer(kCurrentLayer)->mesh;
        bladePoints = bladeElements(planting.closingPanel(), object).points;
        result.blades.blades = countBlades(layer, objectPoints, bladePoints);
        if (job.colours) {
            planting.setBladeColours(
                {colourBlades(*object.layer(kCurrentLayer), {{objectPoints, bladePoints, result.blades.blades}},
                              *job.colours, static_cast<std::uint64_t>(planting.clock()))});
        }
    }
    if (!outcome.nothingPlanted.empty() && !job.allowEmpty)
        throw std::runtime_error("nothing was planted: " + outcome.nothingPlanted +
                                 " (--allow-empty writes the output all the same)");
    if (preview)
        preview->write(planting.outputs(), job.previewPng);
    if (!result.confirmed || job.output.empty()) {
        if (result.confirmed)
            result.blades = summarize();
        planting.outputs().commit();
        return result;
    }
    result.written = writeSummarizing(planting, summarize, result.blades);
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
