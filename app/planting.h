// One planting, as a modeler user makes it, for the command line and the window alike:
// the clock pinned and the plug-in loaded, the Modeler configured over the object (the
// job's content folder, file answers and panels); each run scatters the points to plant
// on when asked, runs the command and takes the points out again; the panel report is
// written as the panel opens, and the panel as it closes names the planted surface
// ("S_NAME") and the options the output keeps; writing draws the picture and writes the
// output. On the command line a run's files (the panel report, the preset saved, the
// preview, the picture, the mesh and what is written beside it) are one transaction:
// each is made complete among the planting's outputs, and they are put in place together
// when it writes (or when the caller commits them); the window writes each at once.
#pragma once

#include "app/plant_job.h"
#include "host/loader.h"
#include "host/modeler.h"
#include "host/progress.h"
#include "meshio/output_set.h"
#include "toolkit/panel_toolkit.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tuft::app {

// Scatters the points Point mode will plant on, as the job asks, selecting all polygons
// when none are; tells a shortfall. Throws UsageError for scattering asked for wrongly.
scatter::ScatterResult scatterForPlanting(const PlantJob &job, host::Object &object, std::int64_t clock);

class Planting {
public:
    // Pins the clock and loads the plug-in (throws PluginError); the panel opens in `panels`.
    Planting(const PlantJob &job, host::Object &object, toolkit::PanelToolkit &panels);
    Planting(const Planting &) = delete;
    Planting &operator=(const Planting &) = delete;

    // Where the caller gives the plug-in its messages, dialogs and progress.
    host::Modeler &modeler() { return modeler_; }
    const host::PluginLibrary &library() const { return library_; }

    struct Outcome {
        int status = 0;             // what activation returned
        bool confirmed = false;     // OK was pressed
        std::string nothingPlanted; // after OK, why the run added nothing; empty when it planted
    };
    // Runs the command once, seeded from the job's clock (now, when it has none). The
    // scattered points are taken out again once the command has run through after OK.
    // Throws UsageError for scattering asked for wrongly.
    Outcome run();

    // The files made so far, to be put in place together.
    meshio::OutputSet &outputs() { return outputs_; }

    // Why the panel report could not be written when the panel last opened; empty when it was.
    const std::string &reportFailure() const { return reportFailure_; }
    // The surface the blades were planted with, as the panel last closed.
    std::string plantedSurface() const;
    // The panel as it last closed.
    const toolkit::PanelView &closingPanel() const { return closing_; }
    // The clock the run was seeded from.
    std::int64_t clock() const { return clock_; }
    // Blades written and drawn in colours of their own.
    void setBladeColours(std::vector<meshio::BladeColours> colours) { colours_ = std::move(colours); }
    // The surfaces written and drawn green as grass, when other than plantedSurface() alone.
    void setPlantedSurfaces(std::vector<std::string> surfaces) { plantedSurfaces_ = std::move(surfaces); }

    // Draws the picture of what is written when the job asks for one, writes the output,
    // showing how far it has come on `display` (the terminal's bar when null and standard
    // error is a terminal), tells what it could not say, and puts every file made in place.
    meshio::WrittenCounts write(std::unique_ptr<host::ProgressDisplay> display = host::makeTerminalProgress());

private:
    void panelOpened(const toolkit::PanelView &view);

    const PlantJob &job_;
    host::Object &object_;
    toolkit::PanelToolkit &panels_;
    host::PluginLibrary library_;
    host::Modeler modeler_;
    meshio::OutputSet outputs_;
    toolkit::PanelView closing_;
    std::int64_t clock_ = 0;
    std::string reportFailure_;
    std::vector<meshio::BladeColours> colours_;
    std::vector<std::string> plantedSurfaces_;
};

} // namespace tuft::app
