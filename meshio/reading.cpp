#include "meshio/reading.h"

#include "meshio/meshio.h"

namespace tuft::meshio {

void attachPointMap(const std::string &path, host::Object &object, host::Mesh &mesh, std::uint32_t type,
                    const std::string &name, int dimension, const std::vector<float> &values,
                    const std::vector<std::uint8_t> &has)
{
    const long key = object.mapKey(type, name, dimension);
    if (key < 0)
        throw MeshIoError(path + ": the point map \"" + name + "\" clashes with a map of another dimension");
    host::PointMap &map = mesh.mapFor(static_cast<std::uint32_t>(key), dimension);
    map.values.clear();
    map.values.append(values.data(), values.size());
    map.has.clear();
    map.has.append(has.data(), has.size());
}

void appendToLayer(const std::string &path, host::Object &object, int layerNumber, const host::Mesh &mesh)
{
    host::Layer *layer = object.layer(layerNumber);
    if (layer == nullptr)
        throw MeshIoError(path + ": layer " + std::to_string(layerNumber) + " does not exist");
    layer->mesh.append(mesh);
}

} // namespace tuft::meshio
