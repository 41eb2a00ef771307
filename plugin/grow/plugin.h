// The plug-in's two objects: what lasts while the library stays loaded, and what one
// use of the command (one activation) works with.
#pragma once

#include "plugin/blade/preview.h"
#include "plugin/entry/capture.h"
#include "plugin/entry/host.h"
#include "plugin/grow/monitor.h"
#include "plugin/grow/random.h"
#include "plugin/panel/controls.h"

namespace tuft {

// Carries from one use of the command to the next.
struct Plugin {
    CommandCodes commands;
    BladeShape shape;               // the curve, the stored Division, the preview's tables
    char storedUvName[kTextLength]; // offered in "U_NAME" by the next panel
};

// One use of the command, after OK.
struct Run {
    Host &host;
    Targets targets;
    RandomSource random;
    Monitor monitor;
};

} // namespace tuft
