// What the panel as it stands and the object say about a run: a control's value, the
// mode, the layers planted on and from, how many elements are selected.
#pragma once

#include "host/object.h"
#include "toolkit/panel_toolkit.h"

#include <cstddef>

namespace tuft::app {

// The Mode control's items, by their place.
enum Mode { kGround = 0, kPoint = 1, kPolygon = 2 };

// A control's integer (a choice's item, a switch), 0 when the panel has no such control.
int controlInteger(const toolkit::PanelView &panel, const char *label);
bool isOn(const toolkit::PanelView &panel, const char *label);

// The layer planted on, and the background layer; null when there is none.
const host::LayerMesh *currentMesh(const host::Object &object);
const host::LayerMesh *backgroundMesh(const host::Object &object);

std::size_t selectedPoints(const host::LayerMesh &mesh);
std::size_t selectedPolygons(const host::LayerMesh &mesh);

} // namespace tuft::app
