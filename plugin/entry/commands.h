// The eight layer and transform commands, and the layer-number strings they are given.
#pragma once

#include "plugin/entry/host.h"

namespace tuft {

// Fills the four strings from an already-read current and background layer number.
// False, leaving the strings empty, when a number does not fit in 7 digits or is negative.
bool formatLayerNumbers(long long current, long long background, LayerNumbers &out);

// Asks the host for the primary and background layers and fills host.layers.
// False when a layer number cannot be written; the run then plants nothing.
bool deriveLayerNumbers(Host &host);

// Each returns true when the host's result code is 0.
bool setLayer(Host &host, const char *layerNumber);
bool copyLayer(Host &host);
bool pasteLayer(Host &host);
bool cutLayer(Host &host);
bool deleteLayer(Host &host);
bool moveLayer(Host &host, double x, double y, double z);
bool rotateLayer(Host &host, double degrees, const char *axis);
bool scaleLayer(Host &host, double x, double y, double z);

} // namespace tuft
