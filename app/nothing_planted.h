// Why a run that confirmed the panel planted nothing, in words that say what to change,
// so that an empty output never reads as a successful run.
#pragma once

#include "host/object.h"
#include "toolkit/panel_toolkit.h"

#include <string>

namespace tuft::app {

// No selection for the mode, no usable weight, an empty background layer, a Number of 0.
std::string whyNothingWasPlanted(const toolkit::PanelView &panel, const host::Object &object);

} // namespace tuft::app
