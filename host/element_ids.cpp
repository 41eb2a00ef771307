#include "host/element_ids.h"

namespace tuft::host {

namespace {

std::uintptr_t encode(int slot, std::uint32_t index) { return (std::uintptr_t(slot + 1) << kIndexBits) | index; }

enum class Kind { kPoint, kPolygon };

std::optional<Element> find(Object &object, std::uintptr_t id, Kind kind)
{
    if (id == 0)
        return std::nullopt;
    const int slot = static_cast<int>(id >> kIndexBits) - 1;
    const auto index = static_cast<std::uint32_t>(id & kIndexMask);
    Layer *layer = object.layerBySlot(slot);
    if (layer == nullptr)
        return std::nullopt;
    const std::size_t count = kind == Kind::kPoint ? layer->mesh.pointCount() : layer->mesh.polygonCount();
    if (index >= count)
        return std::nullopt;
    return Element{layer, index};
}

} // namespace

MhPointId pointId(int slot, std::uint32_t index) { return reinterpret_cast<MhPointId>(encode(slot, index)); }

MhPolygonId polygonId(int slot, std::uint32_t index) { return reinterpret_cast<MhPolygonId>(encode(slot, index)); }

std::optional<Element> findPoint(Object &object, MhPointId id)
{
    return find(object, reinterpret_cast<std::uintptr_t>(id), Kind::kPoint);
}

std::optional<Element> findPolygon(Object &object, MhPolygonId id)
{
    return find(object, reinterpret_cast<std::uintptr_t>(id), Kind::kPolygon);
}

} // namespace tuft::host
