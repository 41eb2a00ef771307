// Control events: keep the panel consistent with the chosen options and the host.
#pragma once

#include "plugin/panel/controls.h"

namespace tuft {

void modeChanged(Panel &panel);
void bgLayerChanged(Panel &panel);
void savePressed(Panel &panel);
void loadPressed(Panel &panel);
void divisionChanged(Panel &panel);
void weightMapChanged(Panel &panel);
void addUvChanged(Panel &panel);
void profileSliderChanged(Panel &panel, MhControl *slider);

} // namespace tuft
