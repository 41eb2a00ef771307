// The host's services in windows, for the interactive panel: message boxes, the file
// dialog and a progress window.
#pragma once

#include "host/modeler.h"

namespace tuft::app {

void installWindowServices(host::Modeler &modeler);

} // namespace tuft::app
