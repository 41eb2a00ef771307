#include "host/object.h"

namespace tuft::host {

Layer *Object::layer(int number)
{
    if (number < 1 || number > kLargestLayer)
        return nullptr;
    auto found = layers_.find(number);
    if (found != layers_.end())
        return found->second.get();
    auto made = std::make_unique<Layer>();
    made->number = number;
    made->slot = static_cast<int>(slots_.size());
    slots_.push_back(made.get());
    return layers_.emplace(number, std::move(made)).first->second.get();
}

const Layer *Object::findLayer(int number) const
{
    auto found = layers_.find(number);
    return found == layers_.end() ? nullptr : found->second.get();
}

Layer *Object::layerBySlot(int slot)
{
    return slot >= 0 && slot < static_cast<int>(slots_.size()) ? slots_[slot] : nullptr;
}

std::vector<const Layer *> Object::layers() const
{
    std::vector<const Layer *> result;
    for (const auto &entry : layers_)
        result.push_back(entry.second.get());
    return result;
}

std::uint32_t Object::surfaceIndex(const std::string &name)
{
    auto found = surfaceIndex_.find(name);
    if (found != surfaceIndex_.end())
        return found->second;
    const auto index = static_cast<std::uint32_t>(surfaces_.size());
    surfaces_.push_back(name);
    surfaceIndex_.emplace(name, index);
    return index;
}

std::uint32_t Object::tagNameIndex(const std::string &name)
{
    const auto found = tagNameIndex_.find(name);
    if (found != tagNameIndex_.end())
        return found->second;
    const auto index = static_cast<std::uint32_t>(tagNames_.size());
    tagNames_.push_back(name);
    tagNameIndex_.emplace(name, index);
    return index;
}

long Object::findMapKey(std::uint32_t type, const std::string &name) const
{
    const auto found = mapIndex_.find({type, name});
    return found == mapIndex_.end() ? -1 : static_cast<long>(found->second);
}

long Object::mapKey(std::uint32_t type, const std::string &name, int dimension)
{
    const long key = findMapKey(type, name);
    if (key >= 0)
        return maps_[key].dimension == dimension ? key : -1;
    mapIndex_.emplace(std::make_pair(type, name), static_cast<std::uint32_t>(maps_.size()));
    maps_.push_back({type, name, dimension});
    return static_cast<long>(maps_.size() - 1);
}

} // namespace tuft::host
