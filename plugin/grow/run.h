#pragma once

namespace tuft {

// One use of the command: the panel, then, after OK, the template and one planting mode.
void runGeneration();

} // namespace tuft
