// The blade template: a strip of one tip triangle and Division - 1 quads along the curve.
#pragma once

#include "plugin/blade/preview.h"
#include "plugin/entry/host.h"

namespace tuft {

// The panel's blade options, as the run reads them.
struct BladeOptions {
    double size;
    int division; // 1..8
    bool addUv;
    const char *uvName;  // the UV map's name
    const char *surface; // the polygons' surface name
};

// Builds the blade in the active layer from the preview's tables (see PreviewTables)
// under a mesh edit of its own; nothing is added when the host gives no edit.
void buildBladeTemplate(Host &host, BladeShape &shape, const BladeOptions &options);

} // namespace tuft
