// tuftsprout: plants grass into a mesh with the ZEL_Tuftsprout plug-in.
#include "app/blade_height.h"
#include "app/cli_options.h"
#include "app/drawing.h"
#include "app/follow_surface.h"
#include "app/gui_session.h"
#include "app/panel_options.h"
#include "app/picture_options.h"
#include "app/plant_job.h"
#include "app/standard_streams.h"
#include "host/loader.h"
#include "host/shared_library.h"
#include "meshio/file_system.h"
#include "meshio/meshio.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>

namespace {

using tuft::toolkit::UserAction;

constexpr const char *kVersion = "tuftsprout " TUFT_VERSION;

constexpr const char *kPlantHelp = R"(Examples:
  tuftsprout plant -o grass.obj
      100 blades (the panel's initial options) over a 1 x 1 field, written as OBJ.
  tuftsprout plant -o lawn.obj --number 5000 --field 10 --roughness 30 --rotation 360
      5000 blades over a 10 x 10 field, each shrunk by up to 30 % and turned freely.
  tuftsprout plant -o grass.obj --set "Add_UV=on" --set "S_NAME=Grass" --clock 0
      blades with a UV map and the surface "Grass", the same every run.
  tuftsprout plant rock.obj -o tuft.obj --bg-layer tuft-shape.obj --number 20
      plants copies of tuft-shape.obj instead of the built blade beside rock.obj.
  tuftsprout plant hill.obj -o hill-grass.ply --mode polygon --select polygons:group:Lawn
      a blade on every polygon of the group Lawn, tilted toward its normal.
  tuftsprout plant field.ply -o meadow.ply --mode point --select points:all --set "(WeightMap)=on"
      a blade on every point whose ZTSW weight (a PLY vertex property) is above 0, sized by it.
  tuftsprout plant bunny.obj -o furry.obj --mode polygon --select polygons:all --blade-height 4%
      a blade on every polygon, each 4 % as tall as the bunny (whatever its units).
  tuftsprout plant bunny.obj -o furry.obj --scatter 5000 --follow-surface
      5000 blades scattered over the bunny, each tilted toward the surface where it stands
      (without --follow-surface they all stand straight up, along +Y).
  tuftsprout plant -o lawn.glb --number 1000000 --field 100 --instances --cell 10
      a million blades as the blade once and a million placements, as engines draw grass,
      in a node for each 10 x 10 cell of the ground, for an engine to cull by.
  tuftsprout plant lawn.obj -o meadow.glb --density 400 --clump 150,0.2 --colour '#3f7a24,#b8a24c'
      grass in tufts, each blade between a green and a dry yellow by where it stands.
  tuftsprout plant hill.obj -o mixed.glb --scatter 20000 --variant short.zts:3 --variant tall.zts --variant daisy.obj:0.1
      three kinds of blade mixed 3 : 1 : 0.1 over the hill, on the surfaces short, tall and daisy's own.
  tuftsprout plant -o lawn.csv --number 1000000 --field 100
      the same placements as a table (id, translation, rotation, scale, layer) for an
      engine's import script.

Options are applied to the panel in the order given, each as a user's change, so a
later option can undo an earlier one. Controls without a label are named P2(y), P2(z)
and P3(z). Exit status: 0 done, 1 failure, 2 usage error.
Environment: TUFT_THREADS=N formats OBJ and text PLY output on N threads (default: every
core); the file is the same whatever N. TUFT_GLTF_BIN_BYTES=N puts at most N bytes in each
.bin file of a .gltf (default and most: 2 GiB).)";

using tuft::app::addLayersOption;
using tuft::app::addPanelOption;
using tuft::app::addUpOption;
using tuft::app::clockSeconds;
using tuft::app::finiteNumber;
using tuft::app::number;
using tuft::app::PanelOption;

void addAction(std::vector<UserAction> &actions, const std::string &control, const std::string &value)
{
    actions.push_back({UserAction::Type::kSet, tuft::app::controlAddress(control), value, control});
}

// --scatter's most points, and --density's most a unit of area.
constexpr double kMostScattered = static_cast<double>(tuft::scatter::kMostPoints);

struct PlantOptions {
    tuft::app::PlantJob job;
    std::vector<std::string> sets;
    std::map<std::string, std::string> panelValues; // by flag: the value as the panel takes it
    std::vector<std::string> loadPresets;
    std::string pictureSize, camera;
    tuft::scatter::ScatterOptions scatter;
    std::uint64_t scatterCount = 0;
    double scatterDensity = 0;
    std::string savePreset, clock, bladeHeight, clump;
    tuft::app::ColourWords colour;
    std::vector<std::string> variants;
    bool cancel = false, asciiPly = false, followSurface = false;
};

// The options that set panel controls, shared by plant and preview.
void addPanelOptions(CLI::App *command, PlantOptions &o)
{
    command
        ->add_option("--plugin", o.job.plugin,
                     std::string("The plug-in library (default: ") + tuft::host::kPluginFileName +
                         " beside this program)")
        ->check(CLI::ExistingFile);
    for (std::size_t i = 0; i < tuft::app::kPanelOptionCount; ++i)
        addPanelOption(command, tuft::app::kPanelOptions[i], o.panelValues);
    command->add_option("--set", o.sets,
                        "Set any panel control by its label: --set \"LABEL=VALUE\" "
                        "(percent, degrees, on/off, item text, as the panel shows them)");
    command->add_option("--load-preset", o.loadPresets, "Press \"Load\" and choose this .zts preset")
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command->add_option("--save-preset", o.savePreset, "Press \"Save\" with this name once the options are set");
    command->add_option("--content-dir", o.job.contentDirectory,
                        "The \"Content\" directory the preset dialogs start in");
    command->add_option("--panel-report", o.job.panelReport,
                        "Write the panel's controls, values and enabling to this file as it opens");
}

// The mesh in and out, shared by plant and gui.
void addMeshOptions(CLI::App *command, PlantOptions &o)
{
    command
        ->add_option(
            "input", o.job.inputs,
            "Meshes to read (.obj, .ply, .glb, .gltf): the first into the current layer, which is planted on, the "
            "others into layers of their own; an empty object when left out")
        ->check(CLI::ExistingFile);
    command->add_option("-o,--output", o.job.output,
                        "Mesh file to write (.obj, .ply, .glb or .gltf), or a table of the blades' placements "
                        "(.csv); replaced only when complete");
    command->add_option("--select", o.job.selection,
                        "Select before planting: points:WHICH or polygons:WHICH, WHICH being all, indices and "
                        "ranges (0-99,120) or group:NAME; puts the host in that selection mode");
    command->add_flag("--ascii", o.asciiPly, "Write a .ply output as text rather than binary");
    addPanelOptions(command, o);
    command
        ->add_option("--bg-layer", o.job.background,
                     "Mesh for the background layer; ticks \"BGLayer Object\" so that it is planted "
                     "instead of the built blade")
        ->check(CLI::ExistingFile);
    command->add_option("--clock", o.clock,
                        "Seed the random blades from this time (seconds since 1970) "
                        "instead of the clock, to repeat a run exactly");
    addLayersOption(command, o.job.writing.layers, "Write the current layer only, or all layers holding geometry");
    command->add_option("--uv-map", o.job.writing.uvMap,
                        "Write this UV map alone (by default every UV map of the object goes into one channel: "
                        "the input's and the blades' U_NAME map together)");
    command->add_flag("--normals", o.job.writing.normals,
                      "Write normals: the input's own where it has them, smooth ones (area-weighted within each "
                      "surface) for the rest, blades included");
    addUpOption(command, o.job.writing.up,
                "The up axis of the files read and written: y (the default) or z, for tools that do not turn Z-up "
                "files themselves");
    command->add_flag("--instances", o.job.writing.instances,
                      "Write the planted blades as instances: each blade once, and a node that draws it at every "
                      "place it is planted (glTF's EXT_mesh_gpu_instancing; .glb and .gltf only)");
    command
        ->add_option("--cell", o.job.writing.cell,
                     "With --instances: a node for each square of this side on the ground (X, Z) that holds "
                     "blades, each knowing the box its blades stand in, for an engine to cull by")
        ->check(finiteNumber(0, std::numeric_limits<double>::max(), true));
}

// Scattering points to plant on, by area, as a modeler user would before Point mode.
void addScatterOptions(CLI::App *command, PlantOptions &o)
{
    command
        ->add_option("--scatter", o.scatterCount,
                     "Scatter this many points over the selected polygons (all when none are selected) and plant "
                     "a blade on each, in Point mode; the points are not written")
        ->check(CLI::Range(std::uint64_t(1), static_cast<std::uint64_t>(kMostScattered)));
    command->add_option("--density", o.scatterDensity, "Scatter this many points per unit of area instead")
        ->check(finiteNumber(0, kMostScattered, true));
    command
        ->add_option("--spacing", o.scatter.spacing,
                     "With --scatter or --density: no two points closer than this (as many as fit)")
        ->check(finiteNumber(0, std::numeric_limits<double>::max(), true));
    command->add_option("--slope", o.scatter.maxSlope, "No point on a polygon leaning more than this many degrees")
        ->check(finiteNumber(0, 180));
    command->add_option("--density-map", o.scatter.densityMap,
                        "A weight map of the input (a PLY vertex property) scaling the density: 0 none, 1 full");
    command
        ->add_option("--clump", o.clump,
                     "Gather the scattered points around COUNT centres scattered by area, each "
                     "point within RADIUS of its centre (--spacing still holds between any two)")
        ->type_name("COUNT,RADIUS");
    command
        ->add_option("--edge-falloff", o.scatter.edgeFalloff,
                     "The density falls smoothly to 0 over this distance from the border of the selected "
                     "polygons, holes in the selection (a path) included; times --density-map")
        ->check(finiteNumber(0, std::numeric_limits<double>::max(), true));
    command->add_option("--size-map", o.scatter.sizeMap,
                        "A weight map of the input that sizes the blades (their ZTSW weight, \"(WeightMap)\" on); "
                        "without it every point weighs 1");
}

// A picture's file, size and camera.
void addPictureOptions(CLI::App *command, std::string &file, std::string &size, std::string &camera,
                       const char *fileHelp)
{
    command->add_option("--picture", file, fileHelp);
    command->add_option("--picture-size", size, "The picture's size in pixels, WIDTHxHEIGHT (default 1200x800)");
    command->add_option("--camera", camera,
                        "Where the picture is seen from: AZIMUTH,ELEVATION[,DISTANCE] in degrees (default 35,30, "
                        "as far as frames the object) or top");
}

// The picture options given, checked.
void pictureOptions(const std::string &size, const std::string &camera, tuft::view::PictureOptions &options)
{
    if (!size.empty())
        tuft::app::parsePictureSize(size, options);
    if (!camera.empty())
        options.camera = tuft::app::cameraOption(camera);
}

CLI::App *addPlantCommand(CLI::App &app, PlantOptions &o)
{
    CLI::App *plant = app.add_subcommand("plant", "Plant grass into a mesh and write the result");
    plant->footer(kPlantHelp);
    addMeshOptions(plant, o);
    addScatterOptions(plant, o);
    plant->add_option("--preview", o.job.previewPng, "Also save the blade preview as it stood at OK (.png)");
    addPictureOptions(plant, o.job.picturePng, o.pictureSize, o.camera,
                      "Also draw a picture of what was written (.png), lit from above, from a three-quarter view");
    plant->add_option(
        "--blade-height", o.bladeHeight,
        "Set \"Size\" so that the blade stands this tall: in the file's units (0.05), or as a "
        "percentage (5%) of the height of what is selected (of the whole layer when that is flat), or of the "
        "field in Ground mode");
    plant->add_flag("--follow-surface", o.followSurface,
                    "With --scatter or in Point mode: tilt each blade toward the surface's normal at its point "
                    "(the polygon a scattered point lies on; for a mesh point the mean of its polygons' normals), "
                    "as Polygon mode tilts blades toward their polygons; the plug-in plants them in Polygon mode on "
                    "small temporary triangles, which are not written");
    addColourOptions(plant, o.colour);
    tuft::app::addVariantOption(plant, o.variants);
    plant->add_flag("--cancel", o.cancel, "Press Cancel instead of OK: nothing is planted or written");
    plant->add_flag("--allow-empty", o.job.allowEmpty,
                    "Write the output even when the run plants nothing (otherwise that is a failure, exit 1)");
    return plant;
}

CLI::App *addGuiCommand(CLI::App &app, PlantOptions &o)
{
    CLI::App *gui = app.add_subcommand("gui", "Work in a window: the object in a viewport, the panel with its live "
                                              "preview, Run again, Undo and Save");
    gui->footer(R"(Examples:
  tuftsprout gui -o grass.obj
  tuftsprout gui hill.obj -o hill.obj --mode polygon --select polygons:all --number 500

The window shows the object; the panel opens at once beside it, as running the command
in a modeler would, with the options as its first values. Given a mesh and no --mode,
--select, --scatter or --load-preset, it opens in Polygon mode on every polygon. OK
plants, Cancel leaves the object alone. Then look: drag to orbit, right-drag (or
Shift-drag) to pan, the wheel to zoom. "Plant on" picks what to plant on next (the
field, every polygon or point, a surface's polygons, points scattered by density) and
opens the panel on it. "Run again" opens the panel once more (it remembers its last
values), "Undo" takes back the last planting, "Save" writes the output (and --picture,
if given). Closing with planting not yet saved asks first. Needs a display (DISPLAY),
or xvfb-run.)");
    addMeshOptions(gui, o);
    addScatterOptions(gui, o);
    addColourOptions(gui, o.colour);
    addPictureOptions(gui, o.job.picturePng, o.pictureSize, o.camera,
                      "On Save, also draw a picture of what was written (.png)");
    return gui;
}

CLI::App *addPreviewCommand(CLI::App &app, PlantOptions &o)
{
    CLI::App *preview = app.add_subcommand("preview", "Render the blade preview (500 x 250) to a PNG file");
    preview->footer(R"(Examples:
  tuftsprout preview -o blade.png
  tuftsprout preview -o thin.png --division 8 --set "P1(x)=5" --set "P3(y)=95"
  tuftsprout preview -o saved.png --load-preset meadow.zts

The side view (lean across, height up) is on the left, the front view with the blade's
outline on the right; grey is the control polygon, green the sampled curve.)");
    preview->add_option("-o,--output", o.job.previewPng, "PNG file to write")->required();
    addPanelOptions(preview, o);
    return preview;
}

// Turns the options into panel actions, in the order the user gave them.
void buildActions(CLI::App &plant, PlantOptions &o)
{
    auto &actions = o.job.actions;
    std::size_t setIndex = 0, loadIndex = 0;
    if (!o.job.background.empty())
        addAction(actions, "BGLayer Object", "on");
    if (o.job.scatter) {
        addAction(actions, "Mode", tuft::app::modeItem("point"));
        if (!o.job.scatter->sizeMap.empty())
            addAction(actions, "(WeightMap)", "on");
    }
    for (const CLI::Option *option : plant.parse_order()) {
        const std::string name = option->get_name();
        if (const PanelOption *panelOption = tuft::app::findPanelOption(name))
            addAction(actions, panelOption->control, o.panelValues.at(name));
        else if (name == "--load-preset") {
            actions.push_back({UserAction::Type::kPress, "Load", ""});
            const std::string &preset = o.loadPresets.at(loadIndex++);
            o.job.fileAnswers.emplace_back(preset);
            o.job.presets.push_back({preset, false});
        } else if (name == "--set") {
            const std::string &entry = o.sets.at(setIndex++);
            const std::size_t equals = entry.find('=');
            if (equals == std::string::npos)
                throw CLI::ValidationError("--set", "expected LABEL=VALUE, got \"" + entry + "\"");
            addAction(actions, entry.substr(0, equals), entry.substr(equals + 1));
        }
    }
    if (plant.count("--save-preset") > 0) {
        actions.push_back({UserAction::Type::kPress, "Save", ""});
        o.job.fileAnswers.emplace_back(o.savePreset);
        o.job.presets.push_back({o.savePreset, true});
    }
    if (!o.job.interactive)
        actions.push_back({o.cancel ? UserAction::Type::kCancel : UserAction::Type::kOk, "", ""});
}

int runPreview(CLI::App &preview, PlantOptions &o)
{
    tuft::app::requireDrawing("preview");
    o.cancel = true; // the panel closes without planting
    buildActions(preview, o);
    tuft::app::runPlantJob(o.job);
    std::fprintf(stderr, "wrote %s\n", o.job.previewPng.c_str());
    return 0;
}

int runPlant(CLI::App &plant, PlantOptions &o);

struct ViewOptions {
    tuft::app::ViewJob job;
    std::string pictureSize, camera;
};

CLI::App *addViewCommand(CLI::App &app, ViewOptions &o)
{
    CLI::App *view = app.add_subcommand("view", "Draw a picture of mesh files (.png)");
    view->footer(R"(Examples:
  tuftsprout view grass.obj -o grass.png
  tuftsprout view hill.glb -o hill.png --picture-size 800x600 --camera 120,20
  tuftsprout view lawn.ply -o plan.png --camera top

The meshes are read as plant reads them; the picture frames them from a three-quarter
view, lit by a sun and the sky, over a grid on the ground.)");
    view->add_option("input", o.job.inputs, "Meshes to draw (.obj, .ply, .glb, .gltf)")
        ->required()
        ->check(CLI::ExistingFile);
    view->add_option("-o,--output", o.job.picturePng, "PNG file to write")->required();
    view->add_option("--picture-size", o.pictureSize, "The picture's size in pixels, WIDTHxHEIGHT (default 1200x800)");
    view->add_option("--camera", o.camera,
                     "Where the picture is seen from: AZIMUTH,ELEVATION[,DISTANCE] in degrees (default 35,30) or top");
    addLayersOption(view, o.job.layers, "Draw the first mesh's layer only, or every layer");
    addUpOption(view, o.job.up, "The up axis of the files: y (the default) or z");
    return view;
}

int runView(ViewOptions &o)
{
    tuft::app::requireDrawing("view");
    pictureOptions(o.pictureSize, o.camera, o.job.picture);
    tuft::app::runViewJob(o.job);
    std::fprintf(stderr, "wrote %s\n", o.job.picturePng.c_str());
    return 0;
}

// The scatter step, when asked for: its options belong together and with Point mode.
void setScatter(CLI::App &plant, PlantOptions &o)
{
    const bool count = plant.count("--scatter") > 0, density = plant.count("--density") > 0;
    if (count && density)
        throw tuft::app::UsageError("--scatter and --density both say how many points: give one");
    if (!count && !density) {
        for (const char *option : {"--spacing", "--slope", "--density-map", "--size-map", "--clump", "--edge-falloff"})
            if (plant.count(option) > 0)
                throw tuft::app::UsageError(std::string(option) + " belongs to --scatter or --density");
        return;
    }
    if (plant.count("--mode") > 0 && o.panelValues["--mode"] != tuft::app::modeItem("point"))
        throw tuft::app::UsageError("--scatter plants on the points it scatters, in Point mode: leave --mode out");
    if (plant.count("--clump") > 0)
        o.scatter.clumps = tuft::app::clumpOption(o.clump);
    o.scatter.count = count ? std::optional<std::uint64_t>(o.scatterCount) : std::nullopt;
    o.scatter.density = density ? std::optional<double>(o.scatterDensity) : std::nullopt;
    o.job.scatter = o.scatter;
}

int runGui(CLI::App &gui, PlantOptions &o)
{
    tuft::app::requireDrawing("gui");
    o.job.interactive = true;
    return runPlant(gui, o);
}

int runPlant(CLI::App &plant, PlantOptions &o)
{
    if (o.job.output.empty() && !o.cancel)
        throw tuft::app::UsageError(plant.get_name() + " needs an output file: -o FILE" +
                                    (o.job.interactive ? "" : " (or --cancel)"));
    if (!o.job.output.empty() && !tuft::meshio::knownFormat(o.job.output))
        throw tuft::app::UsageError(o.job.output +
                                    ": unknown mesh format (expected .obj, .ply, .glb, .gltf, or .csv for placements)");
    if (o.job.writing.instances && !o.job.output.empty() && !tuft::meshio::takesInstances(o.job.output))
        throw tuft::app::UsageError("--instances: " + o.job.output +
                                    (tuft::meshio::holdsPlacements(o.job.output)
                                         ? " lists the instances' placements without it; leave --instances out"
                                         : " cannot hold instances; write a .glb or .gltf file for them"));
    if (plant.count("--cell") > 0 && !o.job.writing.instances)
        throw tuft::app::UsageError("--cell groups instances into nodes: it belongs to --instances");
    if (!o.job.previewPng.empty())
        tuft::app::requireDrawing("--preview");
    if (!o.job.picturePng.empty())
        tuft::app::requireDrawing("--picture");
    if (o.asciiPly)
        o.job.writing.plyEncoding = tuft::meshio::PlyEncoding::kAscii;
    if (plant.count("--clock") > 0)
        o.job.clock = clockSeconds(o.clock);
    if (const CLI::Option *height = plant.get_option_no_throw("--blade-height");
        height != nullptr && height->count() > 0)
        o.job.bladeHeight = tuft::app::parseBladeHeight(o.bladeHeight);
    o.job.writing.generator = kVersion;
    setScatter(plant, o);
    o.job.colours = coloursOf(plant, o.colour);
    if (!o.job.interactive)
        o.job.variants = tuft::app::variantsOf(plant, o.variants);
    pictureOptions(o.pictureSize, o.camera, o.job.picture);
    buildActions(plant, o);
    if (o.followSurface)
        tuft::app::followSurface(o.job);
    if (o.job.interactive)
        return tuft::app::runGuiSession(o.job);
    const tuft::app::PlantResult result = tuft::app::runPlantJob(o.job);
    if (!o.job.previewPng.empty())
        std::fprintf(stderr, "wrote %s\n", o.job.previewPng.c_str());
    if (!result.confirmed)
        std::fprintf(stderr, "cancelled: nothing planted or written\n");
    else
        std::fprintf(stderr, "wrote %s: %s (%s)\n", o.job.output.c_str(),
                     tuft::app::describeWritten(o.job.output, result.written).c_str(),
                     tuft::app::describeBlades(result.blades).c_str());
    if (const std::string warning = tuft::app::bladeScaleWarning(result.blades); !warning.empty())
        std::fprintf(stderr, "tuftsprout: warning: %s\n", warning.c_str());
    if (const std::string warning = tuft::app::unlistedBladesWarning(o.job.output, result); !warning.empty())
        std::fprintf(stderr, "tuftsprout: warning: %s\n", warning.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    tuft::app::endLinesWithNewlineOnly();
    tuft::meshio::files::removeTemporariesOnSignals();
    CLI::App app{"tuftsprout: plants blades of grass into a mesh through the ZEL_Tuftsprout plug-in"};
    app.set_version_flag("--version", kVersion);
    app.allow_windows_style_options(false); // on Windows too: /data/hill.obj is a file, not an option
    app.require_subcommand(1);
    PlantOptions plantOptions, previewOptions, guiOptions;
    ViewOptions viewOptions;
    CLI::App *plant = addPlantCommand(app, plantOptions);
    CLI::App *preview = addPreviewCommand(app, previewOptions);
    CLI::App *view = addViewCommand(app, viewOptions);
    CLI::App *gui = addGuiCommand(app, guiOptions);
    try {
        app.parse(argc, argv);
        if (plant->parsed())
            return runPlant(*plant, plantOptions);
        if (preview->parsed())
            return runPreview(*preview, previewOptions);
        if (view->parsed())
            return runView(viewOptions);
        if (gui->parsed())
            return runGui(*gui, guiOptions);
    } catch (const CLI::ParseError &error) {
        return app.exit(error) == 0 ? 0 : 2;
    } catch (const tuft::app::UsageError &error) {
        std::fprintf(stderr, "tuftsprout: %s\n", error.what());
        return 2;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "tuftsprout: out of memory\n");
        return 1;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tuftsprout: %s\n", error.what());
        return 1;
    }
    return 0;
}
