#include "meshio/reading.h"

#include "meshio/file_system.h"
#include "meshio/meshio.h"

#include <cerrno>

namespace tuft::meshio {

std::string readInputFile(const std::string &path)
{
    std::uint64_t size = 0;
    std::string problem;
    const int fd = files::openInput(path, size, problem);
    if (fd < 0)
        throw MeshIoError("cannot read " + path + ": " + problem);
    std::string data;
    try {
        data.resize(static_cast<std::size_t>(size));
    } catch (const std::exception &) {
        files::closeFile(fd);
        throw MeshIoError("cannot read " + path + ": it is too large for this machine's memory");
    }
    std::size_t got = 0;
    while (got < data.size()) {
        const long long read = files::readSome(fd, &data[got], data.size() - got);
        if (read < 0) {
            const int error = errno;
            files::closeFile(fd);
            throw MeshIoError("cannot read " + path + ": " + files::errorText(error));
        }
        if (read == 0)
            break; // it shrank while being read: what is there is what there is
        got += static_cast<std::size_t>(read);
    }
    files::closeFile(fd);
    data.resize(got);
    return data;
}

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
