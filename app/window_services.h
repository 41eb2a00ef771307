// The host's services in windows, for the interactive panel: message boxes, the file
// dialog and a progress window.
#pragma once

#include "host/modeler.h"

namespace tuft::app {

void installWindowServices(host::Modeler &modeler);
// A window that shows how far a long piece of work has come.
std::unique_ptr<host::ProgressDisplay> makeProgressWindow();

} // namespace tuft::app
