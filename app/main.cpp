// tuftsprout: plants grass into a mesh with the ZEL_Tuftsprout plug-in.
#include "loader.h"
#include "meshio.h"
#include "plant_job.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <cstdio>
#include <iostream>

namespace {

using tuft::toolkit::UserAction;

constexpr const char *kVersion = "tuftsprout 0.1.0";

constexpr const char *kPlantHelp = R"(Examples:
  tuftsprout plant -o grass.obj
      100 blades (the panel's initial options) over a 1 x 1 field, written as OBJ.
  tuftsprout plant -o lawn.obj --number 5000 --field 10 --roughness 30 --rotation 360
      5000 blades over a 10 x 10 field, each shrunk by up to 30 % and turned freely.
  tuftsprout plant -o grass.obj --set "Add_UV=on" --set "S_NAME=Grass" --clock 0
      blades with a UV map and the surface "Grass", the same every run.
  tuftsprout plant rock.obj -o tuft.obj --bg-layer tuft-shape.obj --number 20
      plants copies of tuft-shape.obj instead of the built blade beside rock.obj.

Options are applied to the panel in the order given, each as a user's change, so a
later option can undo an earlier one. Controls without a label are named P2(y), P2(z)
and P3(z). Exit status: 0 done, 1 failure, 2 usage error.)";

void addAction(std::vector<UserAction> &actions, const std::string &control, const std::string &value)
{
    actions.push_back({UserAction::Type::kSet, tuft::app::controlAddress(control), value});
}

// The shortest text that reads back as the same double.
std::string number(double value)
{
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, value).ptr);
}

struct PlantOptions {
    tuft::app::PlantJob job;
    std::vector<std::string> sets;
    std::string mode, layers = "current", loadPreset, savePreset;
    int number = 0, division = 0;
    double field = 0, size = 0, roughness = 0, rotation = 0;
    bool ratioFixation = false, cancel = false;
    std::int64_t clock = 0;
};

CLI::App *addPlantCommand(CLI::App &app, PlantOptions &o)
{
    CLI::App *plant = app.add_subcommand("plant", "Plant grass into a mesh and write the result");
    plant->footer(kPlantHelp);
    plant->add_option("input", o.job.input, "Mesh for the current layer (.obj); an empty object when left out")
        ->check(CLI::ExistingFile);
    plant->add_option("-o,--output", o.job.output, "Mesh file to write (.obj); replaced only when complete");
    plant->add_option("--plugin", o.job.plugin, "The plug-in library (default: tuftsprout.so beside this program)")
        ->check(CLI::ExistingFile);
    plant->add_option("--mode", o.mode, "Planting mode: ground (scattered over the field), point (on selected "
                                        "points) or polygon (on selected polygons)")
        ->check(CLI::IsMember({"ground", "point", "polygon"}));
    plant->add_option("--number", o.number, "\"Number\": blades in ground mode (panel default 100)");
    plant->add_option("--field", o.field, "\"Field\": side of the square field from the origin (default 1)");
    plant->add_option("--size", o.size, "\"Size\": size of the blade (default 0.4)");
    plant->add_option("--division", o.division, "\"Division\": segments of the blade, 1 to 8 (default 5)")
        ->check(CLI::Range(1, 8));
    plant->add_option("--roughness", o.roughness, "\"Roughness(random)\": how much a blade may shrink, percent")
        ->check(CLI::Range(0.0, 100.0));
    plant->add_option("--rotation", o.rotation, "\"Rotation(random)\": largest random turn, degrees 0 to 360")
        ->check(CLI::Range(0.0, 360.0));
    plant->add_flag("--ratio-fixation", o.ratioFixation, "\"Ratio fixation\": shrink blades evenly on all axes");
    plant->add_option("--set", o.sets, "Set any panel control by its label: --set \"LABEL=VALUE\" "
                                       "(percent, degrees, on/off, item text, as the panel shows them)");
    plant->add_option("--bg-layer", o.job.background,
                      "Mesh for the background layer; ticks \"BGLayer Object\" so that it is planted "
                      "instead of the built blade")
        ->check(CLI::ExistingFile);
    plant->add_option("--load-preset", o.loadPreset, "Press \"Load\" and choose this .zts preset");
    plant->add_option("--save-preset", o.savePreset, "Press \"Save\" with this name once the options are set");
    plant->add_option("--content-dir", o.job.contentDirectory, "The \"Content\" directory the preset dialogs start in");
    plant->add_option("--clock", o.clock, "Seed the random blades from this time (seconds since 1970) instead of "
                                          "the clock, to repeat a run exactly");
    plant->add_option("--layers", o.layers, "Write the current layer only, or all layers holding geometry")
        ->check(CLI::IsMember({"current", "all"}));
    plant->add_flag("--cancel", o.cancel, "Press Cancel instead of OK: nothing is planted or written");
    return plant;
}

// Turns the options into panel actions, in the order the user gave them.
void buildActions(CLI::App &plant, PlantOptions &o)
{
    auto &actions = o.job.actions;
    std::size_t setIndex = 0;
    if (!o.job.background.empty())
        addAction(actions, "BGLayer Object", "on");
    for (const CLI::Option *option : plant.parse_order()) {
        const std::string name = option->get_name();
        if (name == "--mode")
            addAction(actions, "Mode", o.mode == "ground" ? " Ground" : o.mode == "point" ? " Point " : "Polygon");
        else if (name == "--number")
            addAction(actions, "Number", std::to_string(o.number));
        else if (name == "--field")
            addAction(actions, "Field", number(o.field));
        else if (name == "--size")
            addAction(actions, "Size", number(o.size));
        else if (name == "--division")
            addAction(actions, "Division", std::to_string(o.division));
        else if (name == "--roughness")
            addAction(actions, "Roughness(random)", number(o.roughness));
        else if (name == "--rotation")
            addAction(actions, "Rotation(random)", number(o.rotation));
        else if (name == "--ratio-fixation")
            addAction(actions, "Ratio fixation", "on");
        else if (name == "--load-preset") {
            actions.push_back({UserAction::Type::kPress, "Load", ""});
            o.job.fileAnswers.emplace_back(o.loadPreset);
        } else if (name == "--set") {
            const std::string &entry = o.sets.at(setIndex++);
            const std::size_t equals = entry.find('=');
            if (equals == std::string::npos)
                throw CLI::ValidationError("--set", "expected LABEL=VALUE, got \"" + entry + "\"");
            addAction(actions, entry.substr(0, equals), entry.substr(equals + 1));
        }
    }
    if (!o.savePreset.empty()) {
        actions.push_back({UserAction::Type::kPress, "Save", ""});
        o.job.fileAnswers.emplace_back(o.savePreset);
    }
    actions.push_back({o.cancel ? UserAction::Type::kCancel : UserAction::Type::kOk, "", ""});
}

int runPlant(CLI::App &plant, PlantOptions &o)
{
    if (o.job.output.empty() && !o.cancel)
        throw tuft::app::UsageError("plant needs an output file: -o FILE (or --cancel)");
    if (!o.job.output.empty() && !tuft::meshio::knownFormat(o.job.output))
        throw tuft::app::UsageError(o.job.output + ": unknown mesh format (expected .obj)");
    if (plant.count("--clock") > 0)
        o.job.clock = o.clock;
    o.job.layers = o.layers == "all" ? tuft::meshio::LayerChoice::kAll : tuft::meshio::LayerChoice::kCurrent;
    buildActions(plant, o);
    const tuft::app::PlantResult result = tuft::app::runPlantJob(o.job);
    if (!result.confirmed)
        std::fprintf(stderr, "cancelled: nothing planted or written\n");
    else
        std::fprintf(stderr, "wrote %s: %zu points, %zu polygons\n", o.job.output.c_str(), result.points,
                     result.polygons);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"tuftsprout: plants blades of grass into a mesh through the ZEL_Tuftsprout plug-in"};
    app.set_version_flag("--version", kVersion);
    app.require_subcommand(1);
    PlantOptions plantOptions;
    CLI::App *plant = addPlantCommand(app, plantOptions);
    try {
        app.parse(argc, argv);
        if (plant->parsed())
            return runPlant(*plant, plantOptions);
    } catch (const CLI::ParseError &error) {
        return app.exit(error) == 0 ? 0 : 2;
    } catch (const tuft::app::UsageError &error) {
        std::fprintf(stderr, "tuftsprout: %s\n", error.what());
        return 2;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "tuftsprout: %s\n", error.what());
        return 1;
    }
    return 0;
}
