// Point and polygon ids as the host hands them to a plug-in: the layer's slot in the
// top bits, the element's index below, so an id finds its element without a table.
#pragma once

#include "host/object.h"
#include "sdk/modeler_host.h"

#include <cstdint>
#include <optional>

namespace tuft::host {

constexpr int kIndexBits = sizeof(void *) == 8 ? 40 : 26;
constexpr std::uintptr_t kIndexMask = (std::uintptr_t(1) << kIndexBits) - 1;
// Layers whose slot does not fit the top bits cannot be edited.
constexpr int kMaxSlots = sizeof(void *) == 8 ? (1 << 20) : 63;

MhPointId pointId(int slot, std::uint32_t index);
MhPolygonId polygonId(int slot, std::uint32_t index);

struct Element {
    Layer *layer;
    std::uint32_t index;
};

// The element an id names, or nullopt for null, a layer that does not exist or an index
// past the layer's points (or polygons).
std::optional<Element> findPoint(Object &object, MhPointId id);
std::optional<Element> findPolygon(Object &object, MhPolygonId id);

} // namespace tuft::host
