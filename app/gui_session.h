// The window front end: a viewport of the object with Run again, Undo and Save around
// the plug-in's panel.
#pragma once

#include "app/plant_job.h"

namespace tuft::app {

// Shows the object, runs the command at once (its panel in a window) and then as often
// as the person asks; returns the exit status. Throws as runPlantJob does.
int runGuiSession(const PlantJob &job);

} // namespace tuft::app
