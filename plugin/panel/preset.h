// Save and Load of preset files through the host's file dialog.
#pragma once

#include "plugin/panel/controls.h"

namespace tuft {

// 0 when a file was written, -1 otherwise (cancelled, or it could not be written).
int savePreset(Panel &panel);
// 0 when a file was read and the controls set, -1 otherwise.
int loadPreset(Panel &panel);

} // namespace tuft
