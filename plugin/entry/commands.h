// The eight layer and transform commands, and the layer-number strings they are given.
#pragma once

namespace tuft {

// Decimal texts of the user's layer, the work layer (+406), the template layer (+407)
// and the first background layer (0 when none); at most 7 digits each.
struct LayerNumbers {
    char current[8];
    char work[8];
    char templ[8];
    char background[8];
};

extern LayerNumbers g_layers;

// The leading decimal integer of a text, as C's atoi reads it, saturating instead of
// overflowing; 0 for no digits or no text.
long leadingInteger(const char *text);

// Fills the four strings from an already-read current and background layer number.
// False, leaving the strings empty, when a number does not fit in 7 digits or is negative.
bool formatLayerNumbers(long current, long background, LayerNumbers &out);

// Asks the host for the primary and background layers and fills g_layers.
// False when a layer number cannot be written; the run then plants nothing.
bool deriveLayerNumbers();

// Each returns true when the host's result code is 0.
bool setLayer(const char *layerNumber);
bool copyLayer();
bool pasteLayer();
bool cutLayer();
bool deleteLayer();
bool moveLayer(double x, double y, double z);
bool rotateLayer(double degrees, const char *axis);
bool scaleLayer(double x, double y, double z);

} // namespace tuft
