// One run of the plug-in's command from the command line: the object, the panel actions,
// and the output.
#pragma once

#include "app/blade_colours.h"
#include "app/blade_summary.h"
#include "meshio/meshio.h"
#include "scatter/scatter.h"
#include "toolkit/headless.h"
#include "view/picture.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tuft::app {

// A preset the user's actions load or save, in their order.
struct PresetUse {
    std::string path;
    bool saving;
};

// How tall the blade template is asked to be: in the file's units, or as a percentage of
// the height of what is planted on.
struct BladeHeight {
    double value = 0;
    bool percent = false;
};

// Point mode's blades planted in Polygon mode instead, to follow the surface; with
// "(WeightMap)" on, the host sizes them by their points' "ZTSW" weights.
struct FollowSurface {
    bool sizedByWeight = false;
};

// A blade mixed with others by weight: a preset's, or a mesh planted as it is.
struct Variant {
    std::string path;
    double weight = 1;
    bool mesh = false;
};

struct PlantJob {
    // Meshes to read: the first into the current layer (planted on), the others into
    // layers 3, 4, ... beside it; none: an empty object.
    std::vector<std::string> inputs;
    std::string background; // a mesh for the background layer; empty: none
    std::string output;     // empty only when cancelling
    std::string previewPng; // the preview as it stood when the panel closed
    std::string picturePng; // a picture of what was written
    view::PictureOptions picture;
    std::string selection; // "points:WHICH" or "polygons:WHICH"; empty: none
    // How the output is written: its layers (drawn as well), encoding, UV map, normals,
    // up axis (the inputs' too) and generator. The planted surface, provenance and
    // progress are the run's, filled in as it writes.
    meshio::WriteOptions writing;
    std::string plugin; // empty: beside the program
    std::vector<toolkit::UserAction> actions;
    std::vector<std::optional<std::string>> fileAnswers; // for the dialogs, in order
    std::vector<PresetUse> presets;                      // what those dialogs are for
    std::string contentDirectory = ".";
    std::optional<std::int64_t> clock;
    bool interactive = false; // a person at the window (runGuiSession) instead of the actions
    std::string panelReport;  // where to describe the panel as it opens; empty: nowhere
    bool allowEmpty = false;  // a run that plants nothing still writes its output
    // Points scattered over the selected polygons (all, when none are) and planted on in
    // Point mode, then taken out again; its seed comes from the clock.
    std::optional<scatter::ScatterOptions> scatter;
    // The panel's "Size" set so that the template stands this tall, measured before the run.
    std::optional<BladeHeight> bladeHeight;
    // Blades on points tilted to the surface there: planted in Polygon mode on temporary
    // triangles (followSurface in app/follow_surface.h sets the panel actions for it).
    std::optional<FollowSurface> followSurface;
    // Each blade coloured between two colours, in the output and its picture.
    std::optional<ColourOptions> colours;
    // Several blades mixed by weight, each planted by a run of its own (app/variants.h).
    std::vector<Variant> variants;
};

struct PlantResult {
    bool confirmed = false; // OK was pressed
    meshio::WrittenCounts written;
    BladeSummary blades; // what the run planted
};

// A problem with what the user asked for (exit status 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Meshes read into layers as plant reads them, and a picture of them.
struct ViewJob {
    std::vector<std::string> inputs;
    std::string picturePng;
    view::PictureOptions picture;
    meshio::LayerChoice layers = meshio::LayerChoice::kCurrent;
    meshio::UpAxis up = meshio::UpAxis::kY;
};
void runViewJob(const ViewJob &job);

// Runs the job. Throws UsageError for what the user asked wrongly; any other exception
// is a failure, and then nothing was written.
PlantResult runPlantJob(const PlantJob &job);

// What a written file holds, for the line that reports it: "17 points, 7 polygons", or
// "100 placements" for a table of them.
std::string describeWritten(const std::string &path, const meshio::WrittenCounts &written);
// Why a table of placements lists fewer blades than were planted (blades kept as copies,
// or placed in ways a translation, rotation and scale cannot say); empty when it lists all.
std::string unlistedBladesWarning(const std::string &path, const PlantResult &result);

} // namespace tuft::app
