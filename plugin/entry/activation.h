// Activation hands a use of the command, with the host's services acquired, to the
// command's body. The body is the generation run, which sits above this room: this one
// declaration is how the entry calls up without including it.
#pragma once

#include "plugin/entry/host.h"

namespace tuft {

// One use of the command; defined by the generation run.
void runGeneration(Host &host);

} // namespace tuft
