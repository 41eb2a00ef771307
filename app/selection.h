// The user's selection from the command line: --select points:WHICH or polygons:WHICH.
#pragma once

#include "host/object.h"

#include <string>

namespace tuft::app {

// Selects elements of the layer and puts the object in that selection mode. WHICH is
// "all", indices and ranges ("0-99,120"), or "group:NAME" (polygons of that surface, or
// their points). Throws UsageError for a request that does not parse or fit the layer.
void applySelection(host::Object &object, int layer, const std::string &request);

} // namespace tuft::app
