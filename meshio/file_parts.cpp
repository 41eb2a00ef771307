#include "meshio/file_parts.h"

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

std::string oneWord(const std::string &name, const char *fallback)
{
    std::string result = name.empty() ? fallback : name;
    for (char &c : result)
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n')
            c = '_';
    return result;
}

} // namespace tuft::meshio
