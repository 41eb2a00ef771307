// Whether planting with the panel as it stands fits in the memory the machine has:
// planting a run that cannot is refused before OK, with both figures.
#pragma once

#include "host/object.h"
#include "toolkit/panel_toolkit.h"

#include <cstdint>
#include <string>

namespace tuft::app {

// The elements of one blade as the panel makes it: the built blade's (Division segments),
// or the background layer's mesh with "BGLayer Object" on.
struct BladeElements {
    std::uint64_t points = 0, polygons = 0, vertices = 0;
};
BladeElements bladeElements(const toolkit::PanelView &panel, const host::Object &object);

// About how many bytes planting with the panel as it stands adds to the object.
std::uint64_t bytesToPlant(const toolkit::PanelView &panel, const host::Object &object);
// Bytes of memory the program can still use: what the machine has available (swap
// included), within the process's own limit; 0 when the system does not say. One file
// per platform (available_memory_posix.cpp, available_memory_windows.cpp).
std::uint64_t availableMemory();
// "1.5 GB", "640 MB": a byte count for people.
std::string sizeText(std::uint64_t bytes);

// Why the blades would not fit in the current layer, whose elements are numbered in 32
// bits; empty when they fit.
std::string layerShortfall(const toolkit::PanelView &panel, const host::Object &object);
// Why the run would not fit in memory, with what it needs and what there is; empty
// when it fits (or the system does not say what there is).
std::string memoryShortfall(const toolkit::PanelView &panel, const host::Object &object);

} // namespace tuft::app
