// The blade transfer the planting modes share: one fresh copy of the template into the
// work layer, and the transformed copy on into the current layer.
#pragma once

#include "plugin/entry/host.h"

namespace tuft {

// SETLAYER template, COPY, SETLAYER work, PASTE: the work layer holds one fresh copy.
void bladeIntake(Host &host);
// CUT, SETLAYER current, PASTE: the transformed copy joins the current layer.
void bladeHandOver(Host &host);
enum class Disposal { kCut, kDelete };
// Empties the template layer and makes the current layer active again.
void disposeTemplate(Host &host, Disposal disposal);

} // namespace tuft
